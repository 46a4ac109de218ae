// The functions qvfile.dll gives scripts, as members of the global object
// `qvfile` that qvhost makes for it. Keep scripts under the folder of the
// release's jsconfig.json (strict checking), or reference this file from a
// script with `// @ts-check` at the top, and an editor completes the functions
// and flags wrong argument counts and types:
//   /// <reference path="types/qvfile.d.ts" />
//
// A refused call throws `Error: qvfile.NAME failed`, with the reason when
// qvhost knows it. Calls are refused for a wrong argument count (read,
// setBusyCursor, clearBusyCursor and getTickCount ignore extra ones); for an
// argument that is not text (undefined, null, an object, a function or a
// symbol) or holds characters outside the ANSI code page; for a location over
// the limit, holding a zero byte, or whose last part is a device name (CON,
// PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 (the digit also ¹, ² or ³), CONIN$,
// CONOUT$, also with an extension or trailing dots or spaces, in any case,
// judged once "." and ".." are folded); for a list filter whose first letter
// is not w, d or a (in either case); and for rows that are not a number. The declarations catch
// what types can: the counts, the argument types and the filters, with
// undefined and null refused under `strict` (see jsconfig.json).

/**
 * A location: `file:///C|/Site/page.htm` (at most 260 characters in all), or
 * a plain path with either slash (at most 259); no zero byte, and no device
 * name (CON, NUL, COM1, ...) as its last part. Numbers and booleans are taken
 * as their text.
 */
type QvLocation = string | number | boolean;

/** Text for a file or a window: numbers and booleans are taken as their text. */
type QvText = string | number | boolean;

/**
 * A listing filter, by its first letter in either case: "w" writable files,
 * "d" plain folders, "a" all entries ("all" and "dirs" too).
 */
type QvListFilter = `${"w" | "d" | "a" | "W" | "D" | "A"}${string}`;

/** A yes/no answer as a script integer: 1 for yes (done), 0 for no (failed). */
type QvFlag = 0 | 1;

declare namespace qvfile {
    /** 1 if the file or folder exists. */
    function exists(location: QvLocation): QvFlag;
    /** 1 if the folder was created and is there; its parent must exist. */
    function mkdir(location: QvLocation): QvFlag;
    /** The whole file as a string, zero bytes included, each byte as the ANSI code page's character for it (0x80 is "€" on 1252); null if it cannot be read. Never a mix of two writes by other hosts. */
    function read(location: QvLocation): string | null;
    /** Replaces the file's contents with `text`, or appends it when a third argument (any value) is given; 1 if written and closed; 0 leaves the file as it was when the disk has no room. Appends by several hosts land whole. */
    function write(location: QvLocation, text: QvText, append?: unknown): QvFlag;
    /** Names of the files matching `pattern` (a folder's need "/*") joined by ":"; "" when nothing matches, 0 when the search cannot start (a control character or "|", refused access). */
    function list(pattern: QvLocation): string | 0;
    /** Names of the entries matching `pattern` that `filter` takes ("w" writable files, "d" plain folders, not linked ones, "a" all entries), joined by ":"; "" when nothing matches, 0 when the search cannot start. */
    function list(pattern: QvLocation, filter: QvListFilter): string | 0;
    /** Copies a file or folder (with its contents) to the name `to` through the shell, into `to` when that is an existing folder; onto an existing file the shell asks in a window and the call waits for the answer; 1 only when the copy is there, 0 (nothing written) for a copy that cannot be made. */
    function copy(from: QvLocation, to: QvLocation): QvFlag;
    /** 1 for a folder, also written with a final slash, and for a linked folder; 0 for files, missing paths and wildcards. */
    function isDir(location: QvLocation): QvFlag;
    /** 1 for a file of any size; 0 for folders, missing paths and wildcards. */
    function isFile(location: QvLocation): QvFlag;
    /** 1 if the file or folder exists. */
    function canRead(location: QvLocation): QvFlag;
    /** 1 if the file or folder exists and is not read-only; 1 also for a hidden or system file, which write refuses. */
    function canWrite(location: QvLocation): QvFlag;
    /** 1 if the file was deleted and is gone; never folders or read-only files. */
    function remove(location: QvLocation): QvFlag;
    /** 1 if moved to `to` (the old name gone); a failed move leaves nothing at `to`; never replaces an existing entry (another name of the same file included); a change of letter case alone takes the new letters. */
    function rename(from: QvLocation, to: QvLocation): QvFlag;
    /** Sizes the drop-down of the combo box whose first item is `firstItem`, in the dialog titled `title` (a title over 62 bytes in the ANSI code page never matches: 62 characters on code page 1252, 31 two-byte ones on 932), to rows + 2 items; texts over 260 characters are refused. */
    function setDropSize(title: QvText, firstItem: QvText, rows: number): void;
    /** Shows the wait cursor. */
    function setBusyCursor(): void;
    /** Puts back the cursor from before setBusyCursor. */
    function clearBusyCursor(): void;
    /** Milliseconds since start-up, modulo 2^31 as a signed 31-bit integer. */
    function getTickCount(): number;
}
