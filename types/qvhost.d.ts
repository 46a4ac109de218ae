// The globals qvhost gives every script, beside one object per extension
// (see qvfile.d.ts).

/** Writes its arguments as text, separated by spaces, and a line feed to standard output. */
declare function print(...values: unknown[]): void;

/** Ends qvhost at once, at the prompt or in a script, with `status` (0 when left out), an integer from 0 to 255. */
declare function exit(status?: number): never;

/** The command-line arguments after the script's name. */
declare const scriptArgs: string[];
