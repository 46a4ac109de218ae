// @ts-check
/// <reference path="../types/qvfile.d.ts" />
/// <reference path="../types/qvhost.d.ts" />
// A tour of qvfile: every function once, in a scratch folder.
//   qvhost tour.js [SCRATCH]      (SCRATCH defaults to C:/qvfile-tour)
// The tour works only in a folder it creates itself: when SCRATCH exists
// already, or cannot be made, it stops with exit status 1 before writing
// anything. It removes every file it wrote there. The library has no function
// that removes a folder, so the two empty folders it made stay behind for
// whoever gave it SCRATCH (the README's command removes them).
var started = qvfile.getTickCount();
var dir = scriptArgs.length > 0 ? scriptArgs[0] : "C:/qvfile-tour";
var url = "file:///" + dir.replace(":", "|");

// Prints a call and its answer, the answers in one column; a label too long
// for the column has a line of its own.
var answerColumn = 56;
/**
 * @template T
 * @param {string} what
 * @param {T} result
 * @returns {T}
 */
function step(what, result) {
    var label = "    " + what;
    if (label.length >= answerColumn) {
        print(label);
        label = "";
    }
    while (label.length < answerColumn)
        label += " ";
    print(label + "-> " + JSON.stringify(result));
    return result;
}

/**
 * Shows the error a refused call throws.
 * @param {string} what
 * @param {() => unknown} call
 */
function refused(what, call) {
    try {
        step(what + "  (answered)", call());
    } catch (e) {
        step(what, String(e));
    }
}

print("Folders");
if (step("mkdir(" + url + ")", qvfile.mkdir(url)) !== 1) {
    if (qvfile.exists(url))
        print(dir + " exists already. The tour writes and removes files only in a folder it\n" +
              "creates itself, so it stops here: name a folder that does not exist yet.");
    else
        print("Cannot create " + dir + " (is its parent folder there?), so the tour stops here.");
    exit(1);
}
step("isDir(scratch)", qvfile.isDir(url));
step("mkdir(scratch/img)", qvfile.mkdir(url + "/img"));

print("Contents");
step("write(index.htm, '<h1>Hello</h1>\\n')", qvfile.write(url + "/index.htm", "<h1>Hello</h1>\n"));
step("write(index.htm, '<p>more</p>\\n', 'append')", qvfile.write(url + "/index.htm", "<p>more</p>\n", "append"));
step("read(index.htm)", qvfile.read(url + "/index.htm"));
step("read(missing.htm)", qvfile.read(url + "/missing.htm"));
step("write(notes.txt, 'a\\r\\nb')", qvfile.write(url + "/notes.txt", "a\r\nb"));

print("Queries");
step("exists(index.htm)", qvfile.exists(url + "/index.htm"));
step("isFile(index.htm)", qvfile.isFile(url + "/index.htm"));
step("isDir(index.htm)", qvfile.isDir(url + "/index.htm"));
step("canRead(index.htm)", qvfile.canRead(url + "/index.htm"));
step("canWrite(index.htm)", qvfile.canWrite(url + "/index.htm"));
step("exists(missing.htm)", qvfile.exists(url + "/missing.htm"));

print("Listing (names joined by ':')");
step("list(*.*)           files", qvfile.list(url + "/*.*"));
step("list(*.*, 'w')      writable files", qvfile.list(url + "/*.*", "w"));
step("list(*.*, 'd')      folders", qvfile.list(url + "/*.*", "d"));
step("list(*.*, 'a')      everything", qvfile.list(url + "/*.*", "a"));
step("list(*.gif)         nothing matches", qvfile.list(url + "/*.gif"));

print("Changes");
step("copy(index.htm, img/copy.htm)", qvfile.copy(url + "/index.htm", url + "/img/copy.htm"));
step("rename(notes.txt, index.htm)  never replaces", qvfile.rename(url + "/notes.txt", url + "/index.htm"));
step("rename(notes.txt, notes.old)", qvfile.rename(url + "/notes.txt", url + "/notes.old"));
step("remove(img)  folders are not removed", qvfile.remove(url + "/img"));
step("remove(img/copy.htm)", qvfile.remove(url + "/img/copy.htm"));
step("remove(notes.old)", qvfile.remove(url + "/notes.old"));
step("remove(index.htm)", qvfile.remove(url + "/index.htm"));
step("list(*.*, 'a')  after cleaning", qvfile.list(url + "/*.*", "a"));

print("Interface aids");
step("setDropSize('Options', 'First', 8)  no such dialog", qvfile.setDropSize("Options", "First", 8));
step("setBusyCursor()", qvfile.setBusyCursor());
step("clearBusyCursor()", qvfile.clearBusyCursor());

print("Refused calls throw");
// @ts-expect-error: "x" is no filter.
refused("list(*.*, 'x')  an unknown filter", function () { return qvfile.list(url + "/*.*", "x"); });
// @ts-expect-error: undefined is no filter either.
refused("list(*.*, undefined)", function () { return qvfile.list(url + "/*.*", undefined); });
// @ts-expect-error: read takes one location.
refused("read()  no location", function () { return qvfile.read(); });
refused("exists(300 characters)  too long", function () { return qvfile.exists(new Array(301).join("x")); });

print("Ticks");
step("getTickCount() - started  (ms)", qvfile.getTickCount() - started);
