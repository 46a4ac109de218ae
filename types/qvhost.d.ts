// The globals qvhost gives every script, beside one object per extension
// (see qvfile.d.ts).

/** Writes its arguments as text, separated by spaces, and a line feed to standard output. */
declare function print(...values: unknown[]): void;

/** The command-line arguments after the script's name. */
declare const scriptArgs: string[];

/** Ends qvhost with exit status `code` (0 when left out), at the prompt or in a script. */
declare function exit(code?: number): never;
