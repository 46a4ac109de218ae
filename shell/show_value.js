// The text the prompt shows for a value, as a script author knows it from
// other JavaScript consoles: strings quoted, null and undefined told apart,
// arrays and objects with their contents to a depth of three, cycles shown
// as [Circular], functions by name, getters never run, long strings and
// arrays shortened. The source evaluates to a function of one value that
// answers its text; it keeps the built-ins it uses from before any input ran.
// The build embeds this file without its leading comment lines.
// @ts-check
(function (keys, describe, prototypeOf, isArray, tagOf, join, push) {
    var path = [];
    function quote(text) {
        var mark = text.indexOf("'") >= 0 && text.indexOf('"') < 0 ? '"' : "'";
        var more = text.length > 10000 ? "... " + (text.length - 10000) + " more characters" : "";
        var escaped = text.slice(0, 10000).replace(/[\\'"\x00-\x1f\x7f]/g, function (c) {
            var named = {"\\": "\\\\", "\n": "\\n", "\r": "\\r", "\t": "\\t", "\b": "\\b", "\f": "\\f", "\v": "\\v"};
            if (c === "'" || c === '"')
                return c === mark ? "\\" + c : c;
            return named[c] || "\\x" + (c.charCodeAt(0) < 16 ? "0" : "") + c.charCodeAt(0).toString(16).toUpperCase();
        });
        return mark + escaped + mark + more;
    }
    function name(key) { return /^[A-Za-z_$][\w$]*$/.test(key) ? key : quote(key); }
    function property(object, key, depth) {
        var d = describe(object, key);
        if (d && (d.get || d.set))
            return d.get && d.set ? "[Getter/Setter]" : d.get ? "[Getter]" : "[Setter]";
        return show(d ? d.value : object[key], depth);
    }
    // Items in one line when short, else one per line, indented by depth;
    // more than six short ones share lines in columns (numbers to the right).
    // `more` (what was left out) ends the list.
    function layout(prefix, open, items, more, close, depth, numbers) {
        if (more)
            push.call(items, more);
        if (items.length === 0)
            return prefix + open + close;
        var line = prefix + open + " " + join.call(items, ", ") + " " + close;
        if (line.length <= 72 && line.indexOf("\n") < 0)
            return line;
        var indent = new Array(depth + 1).join("  "), count = items.length - (more ? 1 : 0), widest = 0, rows = [];
        for (var i = 0; i < count; i++)
            widest = Math.max(widest, items[i].indexOf("\n") < 0 ? items[i].length : 99);
        var columns = count > 6 && widest <= 16 ? Math.min(12, Math.floor((76 - indent.length) / (widest + 2))) : 1;
        for (var at = 0; at < count; at += columns) {
            var row = items.slice(at, Math.min(at + columns, count));
            for (var c = 0; c < row.length; c++) {
                var pad = columns > 1 ? new Array(widest - row[c].length + 1).join(" ") : "";
                var comma = at + c < items.length - 1 ? "," : "";
                row[c] = numbers ? pad + row[c] + comma : row[c] + comma + pad;
            }
            push.call(rows, join.call(row, " ").replace(/ +$/, ""));
        }
        if (more)
            push.call(rows, more);
        return prefix + open + "\n" + indent + "  " + join.call(rows, "\n" + indent + "  ") + "\n" + indent + close;
    }
    function show(value, depth) {
        var type = typeof value;
        if (type === "string")
            return quote(value);
        if (type === "number")
            return value === 0 && 1 / value < 0 ? "-0" : String(value);
        if (type !== "object" && type !== "function" || value === null)
            return String(value);
        for (var i = 0; i < path.length; i++) {
            if (path[i] === value)
                return "[Circular]";
        }
        var tag = tagOf.call(value).slice(8, -1), prefix = "", array = isArray(value) || /Array$/.test(tag);
        var proto = prototypeOf(value), made = proto && describe(proto, "constructor");
        var maker = made && typeof made.value === "function" && made.value.name;
        if (type === "function") {
            var named = describe(value, "name");
            prefix = named && typeof named.value === "string" && named.value !== "" ? "[Function: " + named.value + "]" : "[Function (anonymous)]";
        } else if (tag === "Date") {
            prefix = isNaN(value.getTime()) ? "Invalid Date" : value.toISOString();
        } else if (tag === "RegExp" || tag === "Error") {
            prefix = tag === "Error" ? "[" + String(value) + "]" : String(value);
        } else if (tag === "String" || tag === "Number" || tag === "Boolean") {
            prefix = "[" + tag + ": " + show(value.valueOf(), depth) + "]";
        } else if (proto === null) {
            prefix = "[Object: null prototype]";
        } else if (array) {
            prefix = tag === "Array" ? "" : tag + "(" + value.length + ")";
        } else if (tag !== "Object" && tag !== maker) {
            prefix = (maker || "Object") + " [" + tag + "]";
        } else if (maker && maker !== "Object") {
            prefix = maker;
        }
        var names = [], items = [], more = "", numbers = false, all = keys(value);
        for (var k = 0; k < all.length; k++) {
            if (!((array || tag === "String") && /^(0|[1-9]\d*)$/.test(all[k])))
                push.call(names, all[k]);
        }
        if (names.length === 0 && (type === "function" || /^(Date|RegExp|Error|String|Number|Boolean)$/.test(tag)))
            return prefix;
        if (depth > 2)
            return array ? "[Array]" : "[" + (prefix || "Object") + "]";
        push.call(path, value);
        try {
            if (array) {
                var holes = 0, shown = Math.min(value.length, 100);
                numbers = true;
                for (var at = 0; at < shown; at++) {
                    if (!(at in value)) {
                        holes++;
                        continue;
                    }
                    if (holes > 0)
                        push.call(items, "<" + holes + " empty item" + (holes > 1 ? "s" : "") + ">");
                    holes = 0;
                    var element = describe(value, at);
                    push.call(items, property(value, at, depth + 1));
                    numbers = numbers && !!element && !element.get && !element.set && typeof element.value === "number";
                }
                if (holes > 0)
                    push.call(items, "<" + holes + " empty item" + (holes > 1 ? "s" : "") + ">");
                if (value.length > shown)
                    more = "... " + (value.length - shown) + " more item" + (value.length - shown > 1 ? "s" : "");
            }
            for (var n = 0; n < names.length; n++)
                push.call(items, name(names[n]) + ": " + property(value, names[n], depth + 1));
        } finally {
            path.length--;
        }
        return layout(prefix ? prefix + " " : "", array ? "[" : "{", items, more, array ? "]" : "}", depth, numbers);
    }
    return function (value) {
        path = [];
        return show(value, 0);
    };
})(Object.keys, Object.getOwnPropertyDescriptor, Object.getPrototypeOf, Array.isArray, Object.prototype.toString,
   Array.prototype.join, Array.prototype.push)
