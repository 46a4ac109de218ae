// Every qvfile function once through qvhost, with the host's error mapping.
// Run as: qvhost functions.js SCRATCH (SCRATCH holds bytes.in: bytes 0..255).
var failures = 0;
function check(what, actual, expected) {
    if (actual !== expected) {
        failures++;
        print("FAIL " + what + ": got " + JSON.stringify(actual) + ", expected " + JSON.stringify(expected));
    }
}
function throwsFailure(what, call, name) {
    try {
        call();
        check(what + " throws", "no error", name + " failed");
    } catch (e) {
        check(what + " is an Error", e instanceof Error, true);
        check(what + " message", e.message, name + " failed");
    }
}

var dir = scriptArgs[0];
var url = "file:///" + dir.replace(":", "|");

// Queries.
check("exists folder", qvfile.exists(url), 1);
check("isDir folder", qvfile.isDir(url), 1);
check("isFile folder", qvfile.isFile(url), 0);
check("exists missing", qvfile.exists(url + "/missing"), 0);
check("canRead missing", qvfile.canRead(url + "/missing"), 0);

// Contents: replace, append, read; a file that cannot be read gives null.
check("write", qvfile.write(url + "/a.txt", "one\n"), 1);
check("append", qvfile.write(url + "/a.txt", "two\n", false), 1);
check("read", qvfile.read(url + "/a.txt"), "one\ntwo\n");
check("isFile", qvfile.isFile(url + "/a.txt"), 1);
check("canWrite", qvfile.canWrite(url + "/a.txt"), 1);
check("read missing", qvfile.read(url + "/missing.txt"), null);
check("zero bytes", (qvfile.write(url + "/z.bin", "a\u0000b"), qvfile.read(url + "/z.bin")), "a\u0000b");
check("integers pass as text", (qvfile.write(url + "/n.txt", 42), qvfile.read(url + "/n.txt")), "42");

// Every byte value survives read then write; the runner compares the files.
var bytes = qvfile.read(url + "/bytes.in");
check("bytes read", bytes.length, 256);
check("bytes written", qvfile.write(url + "/bytes.out", bytes), 1);
check("bytes read back", qvfile.read(url + "/bytes.out") === bytes, true);

// Listing with each filter.
check("mkdir", qvfile.mkdir(url + "/sub"), 1);
check("mkdir again", qvfile.mkdir(url + "/sub"), 0);
var files = String(qvfile.list(url + "/*.txt")).split(":").sort().join(":");
check("list files", files, "a.txt:n.txt");
check("list folders", qvfile.list(url + "/*", "d"), "sub");
check("list all", String(qvfile.list(url + "/*", "a")).split(":").length, 6);
check("list writable", qvfile.list(url + "/a.*", "w"), "a.txt");
check("list nothing", qvfile.list(url + "/*.none"), "");
check("list cannot search", qvfile.list(url + "/a<b/*"), 0);

// Changes.
check("copy", qvfile.copy(url + "/a.txt", url + "/sub/b.txt"), 1);
check("copied", qvfile.read(url + "/sub/b.txt"), "one\ntwo\n");
check("rename", qvfile.rename(url + "/sub/b.txt", url + "/sub/c.txt"), 1);
check("rename never replaces", qvfile.rename(url + "/a.txt", url + "/sub/c.txt"), 0);
check("remove", qvfile.remove(url + "/sub/c.txt"), 1);
check("remove folder", qvfile.remove(url + "/sub"), 0);

// Interface aids: results the functions do not store are undefined.
check("setDropSize without a dialog", qvfile.setDropSize("No such dialog", "x", 5), undefined);
check("setBusyCursor", qvfile.setBusyCursor(), undefined);
check("clearBusyCursor", qvfile.clearBusyCursor(), undefined);
var ticks = qvfile.getTickCount();
check("getTickCount is an integer", typeof ticks === "number" && ticks === Math.floor(ticks), true);

// Refused calls throw an Error that names the function; the type check
// catches each of them too.
// @ts-expect-error
throwsFailure("exists()", function () { return qvfile.exists(); }, "qvfile.exists");
// @ts-expect-error
throwsFailure("list with filter x", function () { return qvfile.list(url, "x"); }, "qvfile.list");
// @ts-expect-error
throwsFailure("write of one argument", function () { return qvfile.write(url + "/a.txt"); }, "qvfile.write");
// @ts-expect-error
throwsFailure("setDropSize rows", function () { return qvfile.setDropSize("a", "b", "c"); }, "qvfile.setDropSize");
check("declared counts", [qvfile.read.length, qvfile.write.length, qvfile.setDropSize.length].join(), "1,2,3");

if (failures > 0)
    throw new Error(failures + " check(s) failed");
print("functions.js: all checks passed");
