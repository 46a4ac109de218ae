// Every qvfile function once through qvhost, with the host's error mapping.
// Run as: qvhost functions.js SCRATCH (SCRATCH holds bytes.in: bytes 0..255).
var failures = 0;
function check(what, actual, expected) {
    if (actual !== expected) {
        failures++;
        print("FAIL " + what + ": got " + JSON.stringify(actual) + ", expected " + JSON.stringify(expected));
    }
}
function throwsFailure(what, call, message) {
    try {
        call();
        check(what + " throws", "no error", message);
    } catch (e) {
        check(what + " is an Error", e instanceof Error, true);
        check(what + " message", e.message, message);
    }
}

var dir = scriptArgs[0];
var url = "file:///" + dir.replace(":", "|");

// Queries.
check("exists folder", qvfile.exists(url), 1);
check("isDir folder", qvfile.isDir(url), 1);
check("isDir folder/", qvfile.isDir(url + "/"), 1);
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

// The ANSI code page, which the refusal of an unpaired surrogate names.
var codePage = "unknown";
try { qvfile.read("\ud800"); } catch (e) { codePage = (/code page (\d+)$/.exec(e.message) || [])[1]; }

// Every byte value survives read then write on a single-byte code page (the
// runner compares the files); elsewhere bytes that are not text are refused.
if (codePage === "1252") {
    var bytes = qvfile.read(url + "/bytes.in");
    check("bytes read", bytes && bytes.length, 256);
    check("bytes written", qvfile.write(url + "/bytes.out", bytes), 1);
    check("bytes read back", qvfile.read(url + "/bytes.out") === bytes, true);
} else {
    throwsFailure("bytes that are not text", function () { return qvfile.read(url + "/bytes.in"); },
                  "qvfile.read failed: the result is not text in code page " + codePage);
}

// On double-byte code pages a character's second byte may be "|" (0x7C), "\"
// (0x5C) or "f": the character names its own file, and "file:///" is never
// found inside a character. Per code page: a character ending in 0x7C,
// another, one ending in 0x5C, one ending in "f".
var twoByte = {"932": ["\u30dd", "\u639b", "\u30bd", "\u30c7"], "936": ["\u4ebf", "", "", "\u534f"],
               "949": ["", "", "", "\uac3d"], "950": ["\u56db", "", "\u529f", "\u53e3"]}[codePage];
if (twoByte) {
    [twoByte[0], twoByte[2]].filter(Boolean).forEach(function (c) {
        [c + ".txt", "d" + c].forEach(function (name) {
            var at = url + "/" + name;
            check("write " + name, qvfile.write(at, name), 1);
            check("read " + name, qvfile.read(at), name);
            check("exists " + name, qvfile.exists(at), 1);
            check("list " + name, qvfile.list(at), name);
            if (twoByte[1])
                check("another name, another file", qvfile.exists(url + "/" + twoByte[1] + ".txt"), 0);
            check("remove " + name, qvfile.remove(at), 1);
        });
    });
    // Beside ASCII runs long enough to cross as they are, each character
    // stays whole, its second byte too.
    var run = new Array(41).join("x");
    twoByte.filter(Boolean).forEach(function (c) {
        var text = c + run + c + c + run + c;
        check("beside ASCII runs " + c, (qvfile.write(url + "/r.txt", text), qvfile.read(url + "/r.txt")), text);
    });
    qvfile.remove(url + "/r.txt");
    if (twoByte[2])
        throwsFailure("a pipe on server " + twoByte[2], function () { return qvfile.exists("//" + twoByte[2] + "/pipe/x"); },
                      "qvfile.exists failed");
    if (twoByte[3]) {
        qvfile.write(url + "/target.txt", "kept");
        qvfile.write(twoByte[3] + "ile:///" + url.substring(8) + "/target.txt", "replaced");
        check("no prefix inside a character", qvfile.read(url + "/target.txt"), "kept");
        qvfile.remove(url + "/target.txt");
    }
}

// Listing with each filter.
check("mkdir", qvfile.mkdir(url + "/sub"), 1);
check("mkdir again", qvfile.mkdir(url + "/sub"), 0);
var files = String(qvfile.list(url + "/*.txt")).split(":").sort().join(":");
check("list files", files, "a.txt:n.txt");
check("list folders", qvfile.list(url + "/*", "d"), "sub");
check("list all", String(qvfile.list(url + "/*", "a")).split(":").length, 5 + qvfile.exists(url + "/bytes.out"));
check("list all, spelled out", qvfile.list(url + "/*", "all"), qvfile.list(url + "/*", "A"));
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
throwsFailure("exists()", function () { return qvfile.exists(); }, "qvfile.exists failed");
// @ts-expect-error
throwsFailure("list with filter x", function () { return qvfile.list(url, "x"); }, "qvfile.list failed");
// @ts-expect-error
throwsFailure("write of one argument", function () { return qvfile.write(url + "/a.txt"); }, "qvfile.write failed");
throwsFailure("a device behind \".\"", function () { return qvfile.write(url + "/nul/.", "x"); }, "qvfile.write failed");
throwsFailure("a pipe behind \"..\"", function () { return qvfile.read("//./C:/../pipe/qvfile-none"); },
              "qvfile.read failed");
// @ts-expect-error
throwsFailure("setDropSize rows", function () { return qvfile.setDropSize("a", "b", "c"); },
              "qvfile.setDropSize failed: argument 3 is not a number");

// Texts reach the library exactly or the call is refused, saying why. Rows
// that hold characters of code page 1252 need that code page.
var outside = "characters outside code page " + codePage;
var toStringRan = false;
var throwingObject = { toString: function () { toStringRan = true; throw new Error("toString ran"); } };
[   // [what, function, arguments, reason, the code page the row needs]
    ["undefined text", "write", [url + "/u.txt", undefined], "argument 2 is undefined, not text"],
    ["undefined location", "write", [undefined, "x"], "argument 1 is undefined, not text"],
    ["null", "exists", [null], "argument 1 is null, not text"],
    ["object", "write", [url + "/o.txt", {a: 1}], "argument 2 is an object, not text"],
    ["throwing toString", "write", [throwingObject, "x"], "argument 1 is an object, not text"],
    ["array", "write", [url + "/o.txt", [1]], "argument 2 is an array, not text"],
    ["function", "list", [url + "/*", print], "argument 2 is a function, not text"],
    ["symbol", "remove", [Symbol("s")], "argument 1 is a symbol, not text"],
    ["unpaired high surrogate", "write", [url + "/s.txt", "a\ud83d"], "argument 2 has " + outside],
    ["unpaired low surrogate", "mkdir", [url + "/\ude00"], "argument 1 has " + outside],
    ["CJK data", "write", [url + "/c.txt", "caf\u00e9 \u65e5\u672c \u20ac"], "argument 2 has " + outside, "1252"],
    ["CJK name copied", "copy", [url + "/\u65e5\u672c.txt", url + "/c.txt"], "argument 1 has " + outside, "1252"],
    ["fullwidth dots", "read", [url + "/\uff0e\uff0e\uff3ca.txt"], "argument 1 has " + outside, "1252"],
    ["fullwidth slash", "exists", ["C:\uff0fwindows"], "argument 1 has " + outside, "1252"],
    ["division slash", "isDir", ["C:\u2215windows"], "argument 1 has " + outside, "1252"],
    ["fullwidth colon", "rename", [url + "/a.txt", "C\uff1a/x.txt"], "argument 2 has " + outside, "1252"],
    ["fullwidth wildcards", "list", [url + "/\uff0a.\uff1f"], "argument 1 has " + outside, "1252"],
    ["emoji", "write", [url + "/e.txt", "\ud83d\ude00"], "argument 2 has " + outside, "1252"],
].forEach(function (/** @type {any[]} */ row) {
    if (row[4] === undefined || row[4] === codePage)
        throwsFailure(row[0], function () { return qvfile[row[1]].apply(qvfile, row[2]); },
                      "qvfile." + row[1] + " failed: " + row[3]);
});
check("toString never runs", toStringRan, false);
check("nothing refused was written", ["u", "o", "s", "c", "e"].filter(function (name) {
    return qvfile.exists(url + "/" + name + ".txt") === 1;
}).join() + qvfile.exists("undefined"), "0");
if (codePage !== "1252")
    print("note: the ANSI code page is " + codePage + ", not 1252: the rows that need 1252 were skipped");

// What converts: strings, numbers and booleans, as ToString does.
[   // [value, text written]
    [42, "42"], [2147483648, "2147483648"], [1.5, "1.5"], [-0, "0"], [NaN, "NaN"], [true, "true"],
    ["", ""], ["caf\u00e9 \u20ac\u0081", "caf\u00e9 \u20ac\u0081", "1252"],
].forEach(function (row) {
    if (row[2] === undefined || row[2] === codePage)
        check("converts " + JSON.stringify(row[1]), (qvfile.write(url + "/t.txt", row[0]), qvfile.read(url + "/t.txt")), row[1]);
});

// print runs ToString and lets its exceptions through.
try {
    print(throwingObject);
    check("print throws", "no error", "toString ran");
} catch (e) {
    check("print throws", e.message, "toString ran");
}
check("declared counts", [qvfile.read.length, qvfile.write.length, qvfile.setDropSize.length].join(), "1,2,3");

if (failures > 0)
    throw new Error(failures + " check(s) failed");
print("functions.js: all checks passed");
