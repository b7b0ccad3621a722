// Reading a compiler option file: words, the options they make and the
// values each option takes.
#include "check/options.h"

#include <charconv>
#include <cmath>

#include "check/checker.h"

namespace check {

namespace {

struct Word {
    std::string text;
    int line;
    bool quoted;
};

std::vector<Word> Words(std::string_view t) {
    std::vector<Word> words;
    int line = 1;
    size_t i = 0;
    while (i < t.size()) {
        const char c = t[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (static_cast<unsigned char>(c) <= ' ') {
            ++i;
        } else if (c == '/' && i + 1 < t.size() && t[i + 1] == '/') {
            while (i < t.size() && t[i] != '\n') ++i;
        } else if (c == '"') {
            const size_t end = t.find('"', i + 1);
            const size_t stop = end == std::string_view::npos ? t.size() : end;
            words.push_back({std::string(t.substr(i + 1, stop - i - 1)), line, true});
            for (size_t k = i; k < stop; ++k) line += t[k] == '\n' ? 1 : 0;
            i = stop + 1;
        } else {
            size_t end = i;
            while (end < t.size() && static_cast<unsigned char>(t[end]) > ' ') ++end;
            words.push_back({std::string(t.substr(i, end - i)), line, false});
            i = end;
        }
    }
    return words;
}

bool IsFloat(const std::string& s, bool nonnegative) {
    float f = 0;
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, f);
    return ec == std::errc() && p == end && std::isfinite(f) && (!nonnegative || f >= 0);
}

bool IsUnsigned(const std::string& s, unsigned max) {
    unsigned v = 0;
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, v);
    return ec == std::errc() && p == end && v <= max;
}

// "r=0.5 g=-1 b=1": each of r, g, b once with a number.
bool IsLighting(const std::string& s) {
    for (const char* key : {"r=", "g=", "b="}) {
        const size_t at = s.find(key);
        if (at == std::string::npos) return false;
        const size_t from = at + 2, to = s.find(' ', from);
        if (!IsFloat(s.substr(from, to == std::string::npos ? std::string::npos : to - from), false)) return false;
    }
    return true;
}

// Options that take no argument, and those that take a list of names.
constexpr const char* kSwitches[] = {
    "-keepall",        "-righthanded",     "-lefthanded",          "-nocollision",   "-nogamemodel",
    "-shadowon",       "-softskinshadow",  "-hardskinonly",        "-softskin",      "-donotmergeskins",
    "-vertexlighting", "-additiveemissive", "-kcollision",         "-donotmergecollision",
    "-removeverticesonmerge", "-noprojectionlights", "-largetexcoords",
};

}  // namespace

ParsedOptions ParseOptions(std::string_view text) {
    using detail::EqualNoCase;
    ParsedOptions o;
    const std::vector<Word> w = Words(text);
    auto bad = [&](const Word& opt, const std::string& why) {
        o.problems.push_back({"option", Severity::error, opt.line, opt.text + ": " + why});
    };
    size_t i = 0;
    while (i < w.size()) {
        const Word& opt = w[i++];
        std::vector<const Word*> args;
        while (i < w.size() && (w[i].quoted || w[i].text.empty() || w[i].text[0] != '-' ||
                                IsFloat(w[i].text, false)))
            args.push_back(&w[i++]);
        const std::string& n = opt.text;
        auto first = [&]() -> std::string { return args.empty() ? std::string() : args[0]->text; };
        if (opt.quoted || n.empty() || n[0] != '-') {
            o.problems.push_back({"option", Severity::warning, opt.line, "\"" + n + "\" follows no option"});
            continue;
        }
        bool known = false;
        for (const char* s : kSwitches) known = known || EqualNoCase(n, s);
        if (known) {
            if (EqualNoCase(n, "-keepall")) o.keepall = true;
            continue;
        }
        auto names = [&](std::vector<ParsedOptions::Named>& into) {
            if (args.empty()) bad(opt, "needs at least one name");
            for (const Word* a : args) into.push_back({a->text, a->line});
        };
        if (EqualNoCase(n, "-keep")) names(o.keep);
        else if (EqualNoCase(n, "-keepmaterial")) names(o.keepmaterial);
        else if (EqualNoCase(n, "-bump")) names(o.bump);
        else if (EqualNoCase(n, "-attachlight")) {
            // "node light" pairs, one a quoted word.
            if (args.empty()) bad(opt, "needs \"node light\"");
            for (const Word* a : args) {
                const size_t sp = a->text.find(' ');
                if (sp == std::string::npos || sp == 0) bad(opt, "\"" + a->text + "\" is not \"node light\"");
                else o.attachlight.push_back({a->text.substr(0, sp), a->line});
            }
        } else if (EqualNoCase(n, "-scale") || EqualNoCase(n, "-lodbias") || EqualNoCase(n, "-boundingboxscale")) {
            if (!IsFloat(first(), true)) bad(opt, "needs a number of at least 0, not \"" + first() + "\"");
        } else if (EqualNoCase(n, "-boundingboxoffsetx") || EqualNoCase(n, "-boundingboxoffsety") ||
                   EqualNoCase(n, "-boundingboxoffsetz") || EqualNoCase(n, "-boundingboxoffsetnz")) {
            if (!IsFloat(first(), false)) bad(opt, "needs a number, not \"" + first() + "\"");
        } else if (EqualNoCase(n, "-maxbones")) {
            if (!IsUnsigned(first(), 0xFFFFFFFFu)) bad(opt, "needs a whole number, not \"" + first() + "\"");
        } else if (EqualNoCase(n, "-hiresshadow")) {
            if (!args.empty() && !IsUnsigned(first(), 255)) bad(opt, "takes a level of detail 0 to 255, not \"" + first() + "\"");
        } else if (EqualNoCase(n, "-lodgroup")) {
            const std::string g = first();
            if (!EqualNoCase(g, "model") && !EqualNoCase(g, "bigmodel") && !EqualNoCase(g, "soldier") &&
                !EqualNoCase(g, "hugemodel"))
                bad(opt, "needs model, bigmodel, soldier or hugemodel, not \"" + g + "\"");
        } else if (EqualNoCase(n, "-ambientlighting")) {
            if (!IsLighting(first())) bad(opt, "needs \"r=R g=G b=B\", not \"" + first() + "\"");
        } else {
            o.problems.push_back({"option", Severity::warning, opt.line, "unknown option " + n + " (the compiler ignores it)"});
        }
    }
    return o;
}

}  // namespace check
