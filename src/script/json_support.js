function get__count(c){
	var i=-2;
	for (v in c) i++;
	return i;
}

/*
 * JSON support for the document engine.
 *
 * Supplies a global JSON object with JSON.stringify and JSON.parse where the
 * engine has none (a native JSON is kept as it is), toJSON on dates and on the
 * primitive wrappers where dates lack it, and two methods on every object:
 * toJSONString and parseJSON. Those two are plain assignments and so are
 * enumerable: a for-in loop over any value visits them after its own members.
 */

if (typeof JSON !== 'object' || JSON === null) {
    JSON = {};
}

(function () {
    'use strict';

    var hasOwn = Object.prototype.hasOwnProperty;
    var classOf = function (value) {
        return Object.prototype.toString.call(value);
    };

    function twoDigits(n) {
        return (n < 10 ? '0' : '') + n;
    }

    function threeDigits(n) {
        return (n < 10 ? '00' : n < 100 ? '0' : '') + n;
    }

    if (typeof Date.prototype.toJSON !== 'function') {
        // The time in UTC as YYYY-MM-DDTHH:MM:SS.sssZ; null for an invalid date.
        Date.prototype.toJSON = function () {
            if (!isFinite(this.valueOf())) {
                return null;
            }
            return this.getUTCFullYear() + '-' + twoDigits(this.getUTCMonth() + 1) + '-' +
                twoDigits(this.getUTCDate()) + 'T' + twoDigits(this.getUTCHours()) + ':' +
                twoDigits(this.getUTCMinutes()) + ':' + twoDigits(this.getUTCSeconds()) + '.' +
                threeDigits(this.getUTCMilliseconds()) + 'Z';
        };
        var primitiveValue = function () {
            return this.valueOf();
        };
        String.prototype.toJSON = primitiveValue;
        Number.prototype.toJSON = primitiveValue;
        Boolean.prototype.toJSON = primitiveValue;
    }

    // ---- writing ----

    var namedEscapes = {
        '"': '\\"',
        '\\': '\\\\',
        '\b': '\\b',
        '\f': '\\f',
        '\n': '\\n',
        '\r': '\\r',
        '\t': '\\t'
    };

    // A string literal: quotes, backslashes and control characters escaped, and
    // the two line separators too, so that the text is also valid script.
    function quote(text) {
        var out = '"';
        var i, ch, code, hex;
        for (i = 0; i < text.length; i += 1) {
            ch = text.charAt(i);
            code = text.charCodeAt(i);
            if (hasOwn.call(namedEscapes, ch)) {
                out += namedEscapes[ch];
            } else if (code < 0x20 || code === 0x2028 || code === 0x2029) {
                hex = code.toString(16);
                out += '\\u' + '0000'.slice(hex.length) + hex;
            } else {
                out += ch;
            }
        }
        return out + '"';
    }

    function isArray(value) {
        return classOf(value) === '[object Array]';
    }

    function contains(list, value) {
        var i;
        for (i = 0; i < list.length; i += 1) {
            if (list[i] === value) {
                return true;
            }
        }
        return false;
    }

    // Joins the written members of a container, one per line when indenting.
    function wrap(open, parts, close, writer, outerIndent) {
        if (parts.length === 0) {
            return open + close;
        }
        if (writer.gap === '') {
            return open + parts.join(',') + close;
        }
        return open + '\n' + writer.indent + parts.join(',\n' + writer.indent) + '\n' +
            outerIndent + close;
    }

    // Writes holder[key]; undefined when the value has no JSON form.
    function write(holder, key, writer) {
        var value = holder[key];
        if (value !== null && typeof value === 'object' && typeof value.toJSON === 'function') {
            value = value.toJSON(key);
        }
        if (writer.replacer) {
            value = writer.replacer.call(holder, key, value);
        }
        if (value !== null && typeof value === 'object') {
            switch (classOf(value)) {
            case '[object Number]':
                value = Number(value);
                break;
            case '[object String]':
                value = String(value);
                break;
            case '[object Boolean]':
                value = value.valueOf();
                break;
            }
        }
        switch (typeof value) {
        case 'string':
            return quote(value);
        case 'number':
            return isFinite(value) ? String(value) : 'null';
        case 'boolean':
            return String(value);
        case 'object':
            if (value === null) {
                return 'null';
            }
            return isArray(value) ? writeArray(value, writer) : writeObject(value, writer);
        default:
            return undefined;
        }
    }

    function enter(value, writer) {
        if (contains(writer.open, value)) {
            throw new TypeError('JSON.stringify: cyclic structure');
        }
        writer.open.push(value);
        var outer = writer.indent;
        writer.indent += writer.gap;
        return outer;
    }

    function leave(writer, outer) {
        writer.open.pop();
        writer.indent = outer;
    }

    function writeArray(array, writer) {
        var outer = enter(array, writer);
        var parts = [];
        var i, item;
        for (i = 0; i < array.length; i += 1) {
            item = write(array, String(i), writer);
            parts.push(item === undefined ? 'null' : item);
        }
        var text = wrap('[', parts, ']', writer, outer);
        leave(writer, outer);
        return text;
    }

    function writeObject(object, writer) {
        var outer = enter(object, writer);
        var names = writer.names;
        var parts = [];
        var i, name, item;
        if (!names) {
            names = [];
            for (name in object) {
                if (hasOwn.call(object, name)) {
                    names.push(name);
                }
            }
        }
        for (i = 0; i < names.length; i += 1) {
            item = write(object, names[i], writer);
            if (item !== undefined) {
                parts.push(quote(names[i]) + (writer.gap === '' ? ':' : ': ') + item);
            }
        }
        var text = wrap('{', parts, '}', writer, outer);
        leave(writer, outer);
        return text;
    }

    if (typeof JSON.stringify !== 'function') {
        // JSON.stringify(value [, replacer [, space]]): the replacer is a function
        // called for every member or a list of the member names to write; space is
        // a count of spaces or an indentation text (ten at most).
        JSON.stringify = function (value, replacer, space) {
            var writer = {gap: '', indent: '', replacer: null, names: null, open: []};
            var i, name, count;
            if (typeof space === 'number') {
                count = Math.min(10, Math.floor(space));
                for (i = 0; i < count; i += 1) {
                    writer.gap += ' ';
                }
            } else if (typeof space === 'string') {
                writer.gap = space.slice(0, 10);
            }
            if (typeof replacer === 'function') {
                writer.replacer = replacer;
            } else if (isArray(replacer)) {
                writer.names = [];
                for (i = 0; i < replacer.length; i += 1) {
                    name = replacer[i];
                    if (typeof name === 'number' || classOf(name) === '[object Number]' ||
                            classOf(name) === '[object String]') {
                        name = String(name);
                    }
                    if (typeof name === 'string' && !contains(writer.names, name)) {
                        writer.names.push(name);
                    }
                }
            }
            return write({'': value}, '', writer);
        };
    }

    // ---- reading ----

    var numberPattern = /-?(?:0|[1-9][0-9]*)(?:\.[0-9]+)?(?:[eE][+\-]?[0-9]+)?/g;
    var hexPattern = /^[0-9a-fA-F]{4}$/;
    var letterEscapes = {'"': '"', '\\': '\\', '/': '/', b: '\b', f: '\f', n: '\n', r: '\r', t: '\t'};

    function Reader(text) {
        this.text = text;
        this.at = 0;
    }

    Reader.prototype.fail = function (what) {
        throw new SyntaxError('JSON.parse: ' + what + ' at offset ' + this.at);
    };

    Reader.prototype.skipSpace = function () {
        var ch;
        while (this.at < this.text.length) {
            ch = this.text.charAt(this.at);
            if (ch !== ' ' && ch !== '\t' && ch !== '\n' && ch !== '\r') {
                break;
            }
            this.at += 1;
        }
    };

    Reader.prototype.literal = function (word, value) {
        if (this.text.substr(this.at, word.length) !== word) {
            this.fail('unexpected text');
        }
        this.at += word.length;
        return value;
    };

    Reader.prototype.string = function () {
        var out = '';
        var ch, hex;
        this.at += 1;
        for (;;) {
            if (this.at >= this.text.length) {
                this.fail('unterminated string');
            }
            ch = this.text.charAt(this.at);
            this.at += 1;
            if (ch === '"') {
                return out;
            }
            if (ch === '\\') {
                ch = this.text.charAt(this.at);
                this.at += 1;
                if (ch === 'u') {
                    hex = this.text.substr(this.at, 4);
                    if (!hexPattern.test(hex)) {
                        this.fail('bad \\u escape');
                    }
                    out += String.fromCharCode(parseInt(hex, 16));
                    this.at += 4;
                } else if (hasOwn.call(letterEscapes, ch)) {
                    out += letterEscapes[ch];
                } else {
                    this.fail('bad escape');
                }
            } else if (ch < ' ') {
                this.fail('control character in a string');
            } else {
                out += ch;
            }
        }
    };

    Reader.prototype.number = function () {
        numberPattern.lastIndex = this.at;
        var found = numberPattern.exec(this.text);
        if (!found || found.index !== this.at) {
            this.fail('bad number');
        }
        this.at += found[0].length;
        return Number(found[0]);
    };

    Reader.prototype.put = function (container, name, value) {
        if (typeof Object.defineProperty === 'function') {
            Object.defineProperty(container, name,
                {value: value, writable: true, enumerable: true, configurable: true});
        } else {
            container[name] = value;
        }
    };

    Reader.prototype.array = function () {
        var array = [];
        this.at += 1;
        this.skipSpace();
        if (this.text.charAt(this.at) === ']') {
            this.at += 1;
            return array;
        }
        for (;;) {
            array.push(this.value());
            this.skipSpace();
            var ch = this.text.charAt(this.at);
            this.at += 1;
            if (ch === ']') {
                return array;
            }
            if (ch !== ',') {
                this.at -= 1;
                this.fail('expected , or ]');
            }
        }
    };

    Reader.prototype.object = function () {
        var object = {};
        var name;
        this.at += 1;
        this.skipSpace();
        if (this.text.charAt(this.at) === '}') {
            this.at += 1;
            return object;
        }
        for (;;) {
            this.skipSpace();
            if (this.text.charAt(this.at) !== '"') {
                this.fail('expected a member name');
            }
            name = this.string();
            this.skipSpace();
            if (this.text.charAt(this.at) !== ':') {
                this.fail('expected :');
            }
            this.at += 1;
            this.put(object, name, this.value());
            this.skipSpace();
            var ch = this.text.charAt(this.at);
            this.at += 1;
            if (ch === '}') {
                return object;
            }
            if (ch !== ',') {
                this.at -= 1;
                this.fail('expected , or }');
            }
        }
    };

    Reader.prototype.value = function () {
        this.skipSpace();
        var ch = this.text.charAt(this.at);
        switch (ch) {
        case '{':
            return this.object();
        case '[':
            return this.array();
        case '"':
            return this.string();
        case 't':
            return this.literal('true', true);
        case 'f':
            return this.literal('false', false);
        case 'n':
            return this.literal('null', null);
        default:
            if (ch === '-' || (ch >= '0' && ch <= '9')) {
                return this.number();
            }
            return this.fail(ch === '' ? 'unexpected end' : 'unexpected character');
        }
    };

    // Hands every member, innermost first, to the reviver; undefined removes it.
    function revive(holder, name, reviver) {
        var value = holder[name];
        var key, result;
        if (value !== null && typeof value === 'object') {
            for (key in value) {
                if (hasOwn.call(value, key)) {
                    result = revive(value, key, reviver);
                    if (result === undefined) {
                        delete value[key];
                    } else {
                        value[key] = result;
                    }
                }
            }
        }
        return reviver.call(holder, name, value);
    }

    if (typeof JSON.parse !== 'function') {
        // JSON.parse(text [, reviver]): reads strict JSON and throws a
        // SyntaxError for anything else.
        JSON.parse = function (text, reviver) {
            var reader = new Reader(String(text));
            var result = reader.value();
            reader.skipSpace();
            if (reader.at < reader.text.length) {
                reader.fail('unexpected text after the value');
            }
            return typeof reviver === 'function' ? revive({'': result}, '', reviver) : result;
        };
    }
}());

if (typeof Object.prototype.toJSONString !== 'function') {
    Object.prototype.toJSONString = function (replacer) {
        return JSON.stringify(this, replacer);
    };
    Object.prototype.parseJSON = function (reviver) {
        return JSON.parse(this, reviver);
    };
}
