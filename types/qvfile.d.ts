// The functions qvfile.dll gives scripts, as members of the global object
// `qvfile` that qvhost makes for it. Reference this file from a script, with
// `// @ts-check` at the top, and an editor completes the functions and flags
// wrong argument counts and types:
//   /// <reference path="types/qvfile.d.ts" />
//
// A refused call (wrong argument count, an argument that does not convert to
// text exactly, a location too long or holding a zero byte) throws
// `Error: qvfile.NAME failed`, with the reason when qvhost knows it.

/**
 * A location: `file:///C|/Site/page.htm` (at most 260 characters in all), or
 * a plain path with either slash (at most 259). Numbers and booleans are taken
 * as their text.
 */
type QvLocation = string | number | boolean;

/** Text for a file or a window: numbers and booleans are taken as their text. */
type QvText = string | number | boolean;

/** A yes/no answer as a script integer: 1 for yes (done), 0 for no (failed). */
type QvFlag = 0 | 1;

declare namespace qvfile {
    /** 1 if the file or folder exists. */
    function exists(location: QvLocation): QvFlag;
    /** 1 if the folder was created; its parent must exist. */
    function mkdir(location: QvLocation): QvFlag;
    /** The whole file as a string, zero bytes included; null if it cannot be read. */
    function read(location: QvLocation): string | null;
    /** Replaces the file's contents with `text`, or appends it when a third argument (any value) is given; 1 if written and flushed. */
    function write(location: QvLocation, text: QvText, append?: unknown): QvFlag;
    /** Names of the files matching `pattern` joined by ":" (filter "w" writable files, "d" folders, "a" all entries); "" when nothing matches, 0 when the search cannot start. */
    function list(pattern: QvLocation, filter?: "w" | "d" | "a" | "W" | "D" | "A"): string | 0;
    /** Copies a file or folder (with its contents) to the name `to` through the shell, which may ask before replacing; 1 on success. */
    function copy(from: QvLocation, to: QvLocation): QvFlag;
    /** 1 for a folder; 0 for files, missing paths and wildcards. */
    function isDir(location: QvLocation): QvFlag;
    /** 1 for a file of any size; 0 for folders, missing paths and wildcards. */
    function isFile(location: QvLocation): QvFlag;
    /** 1 if the file or folder exists. */
    function canRead(location: QvLocation): QvFlag;
    /** 1 if the file or folder exists and is not read-only. */
    function canWrite(location: QvLocation): QvFlag;
    /** 1 if the file was deleted; never folders or read-only files. */
    function remove(location: QvLocation): QvFlag;
    /** 1 if moved to `to`; never replaces an existing entry. */
    function rename(from: QvLocation, to: QvLocation): QvFlag;
    /** Sizes the drop-down of the combo box whose first item is `firstItem`, in the dialog titled `title` (up to 62 characters), to rows + 2 items. */
    function setDropSize(title: QvText, firstItem: QvText, rows: number): void;
    /** Shows the wait cursor. */
    function setBusyCursor(): void;
    /** Puts back the cursor from before setBusyCursor. */
    function clearBusyCursor(): void;
    /** Milliseconds since start-up, modulo 2^31 as a signed 31-bit integer. */
    function getTickCount(): number;
}
