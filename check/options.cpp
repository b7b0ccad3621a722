// Reading a compiler option file: words, the options they make and the
// values each option takes, judged as the compiler reads them.
#include "check/options.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "check/checker.h"

namespace check {

namespace {

struct Word {
    std::string text;
    int line;
    bool quoted;
};

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::vector<Word> Words(std::string_view t) {
    std::vector<Word> words;
    int line = 1;
    size_t i = 0;
    while (i < t.size()) {
        if (Blank(t[i])) {
            line += t[i++] == '\n' ? 1 : 0;
            continue;
        }
        size_t end = i;
        bool quoted = false;
        if (t[i] == '"') {
            if (const size_t close = t.find('"', i + 1); close != std::string_view::npos) {
                words.push_back({std::string(t.substr(i + 1, close - i - 1)), line, true});
                for (size_t k = i; k < close; ++k) line += t[k] == '\n' ? 1 : 0;
                i = close + 1;
                continue;
            }
        }
        while (end < t.size() && !Blank(t[end])) ++end;
        words.push_back({std::string(t.substr(i, end - i)), line, quoted});
        i = end;
    }
    return words;
}

// How much of s the compiler's number reader takes: all of it, its start
// only, or nothing (no number there, or one out of range).
enum class Read { whole, start, none };
template <class T>
Read Number(const std::string& s, T& v) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, v);
    if (ec != std::errc()) return Read::none;
    return p == end ? Read::whole : Read::start;
}

// Options that take no argument (the last ones are known to the older tools).
constexpr const char* kSwitches[] = {
    "-keepall",        "-righthanded",     "-lefthanded",        "-nocollision",         "-nogamemodel",
    "-softskinshadow", "-softskin",        "-vertexlighting",    "-additiveemissive",    "-donotmergecollision",
    "-noprojectionlights", "-largetexcoords", "-shadowon",       "-hardskinonly",        "-donotmergeskins",
    "-kcollision",     "-removeverticesonmerge",
};

}  // namespace

ParsedOptions ParseOptions(std::string_view text) {
    using detail::EqualNoCase;
    ParsedOptions o;
    const std::vector<Word> w = Words(text);
    auto add = [&](Severity sev, const Word& opt, const std::string& why) {
        o.problems.push_back({"option", sev, opt.line, opt.text + ": " + why});
    };
    size_t i = 0;
    size_t swallowed = SIZE_MAX;  // a number read as an option, said with the option before it
    while (i < w.size()) {
        const size_t at = i;
        const Word& opt = w[i++];
        std::vector<const Word*> args;
        while (i < w.size() && (w[i].quoted || w[i].text[0] != '-')) args.push_back(&w[i++]);
        // The word after the option when it starts with '-': the compiler
        // reads it as the next option, not as this one's value.
        const Word* taken = i < w.size() && args.empty() ? &w[i] : nullptr;
        const std::string& n = opt.text;
        const std::string first = args.empty() ? std::string() : args[0]->text;
        auto missing = [&](const char* what) {
            (void)what;
            std::string why = "has no value";
            double probe = 0;
            if (taken && Number(taken->text, probe) != Read::none) {
                swallowed = i;
                why += ": the compiler reads \"" + taken->text + "\" as the next option; write the value in quotes (" +
                       n + " \"" + taken->text + "\")";
            }
            add(Severity::error, opt, why);
        };
        // A number value: none is an error, one followed by other text a warning.
        auto number = [&](auto value, const char* what, bool nonnegative) {
            if (args.empty()) return missing(what);
            const Read r = Number(first, value);
            if (r == Read::none) return add(Severity::error, opt, std::string("needs ") + what + ", not \"" + first + "\"");
            if (r == Read::start)
                add(Severity::warning, opt, "the compiler reads the number at the start of \"" + first + "\" and ignores the rest");
            if constexpr (std::is_floating_point_v<decltype(value)>) {
                if (!std::isfinite(value) || (nonnegative && value < 0))
                    add(Severity::warning, opt, "\"" + first + "\" is read, but is not a sensible value here");
            }
        };
        if (opt.quoted || n.empty() || n[0] != '-') {
            if (at == swallowed) continue;
            o.problems.push_back({"option", Severity::warning, opt.line, "\"" + n + "\" is no option: the compiler ignores it and the words after it up to the next option (it reads no comments)"});
            continue;
        }
        bool known = false;
        for (const char* s : kSwitches) known = known || EqualNoCase(n, s);
        if (known) {
            o.keepall = o.keepall || EqualNoCase(n, "-keepall");
            o.softskin = o.softskin || EqualNoCase(n, "-softskin");
            o.softskinshadow = o.softskinshadow || EqualNoCase(n, "-softskinshadow");
            o.nocollision = o.nocollision || EqualNoCase(n, "-nocollision");
            o.largetexcoords = o.largetexcoords || EqualNoCase(n, "-largetexcoords");
            continue;
        }
        auto names = [&](std::vector<ParsedOptions::Named>& into) {
            if (args.empty()) add(Severity::warning, opt, "names nothing (the option does nothing)");
            for (const Word* a : args) into.push_back({a->text, a->line});
        };
        if (EqualNoCase(n, "-keep")) names(o.keep);
        else if (EqualNoCase(n, "-keepmaterial")) names(o.keepmaterial);
        else if (EqualNoCase(n, "-bump")) names(o.bump);
        else if (EqualNoCase(n, "-attachlight")) {
            // "node light" pairs, each one quoted word.
            if (args.empty()) add(Severity::warning, opt, "names nothing (the option does nothing)");
            for (const Word* a : args) {
                size_t s = 0;
                while (s < a->text.size() && Blank(a->text[s])) ++s;
                size_t e = s;
                while (e < a->text.size() && !Blank(a->text[e])) ++e;
                size_t l = e;
                while (l < a->text.size() && Blank(a->text[l])) ++l;
                if (e == s || l == a->text.size())
                    add(Severity::error, opt, "\"" + a->text + "\" is not \"node light\" (write the pair in quotes)");
                else
                    o.attachlight.push_back({a->text.substr(s, e - s), a->line});
            }
        } else if (EqualNoCase(n, "-scale") || EqualNoCase(n, "-lodbias") || EqualNoCase(n, "-boundingboxscale")) {
            number(0.0f, "a number", true);
        } else if (EqualNoCase(n, "-boundingboxoffsetx") || EqualNoCase(n, "-boundingboxoffsety") ||
                   EqualNoCase(n, "-boundingboxoffsetz") || EqualNoCase(n, "-boundingboxoffsetnz")) {
            number(0.0f, "a number", false);
        } else if (EqualNoCase(n, "-maxbones") || EqualNoCase(n, "-lodcostdivisor")) {
            number(uint32_t(0), "a whole number", false);
        } else if (EqualNoCase(n, "-hiresshadow")) {
            o.hiresshadow = true;
            uint8_t lod = 0;
            if (!args.empty()) {
                if (Number(first, lod) == Read::none) add(Severity::error, opt, "takes a level of detail 0 to 255, not \"" + first + "\"");
                else o.hiresshadowlod = lod;
            }
        } else if (EqualNoCase(n, "-lodgroup")) {
            if (args.empty()) missing("group");
            else if (!EqualNoCase(first, "model") && !EqualNoCase(first, "bigmodel") && !EqualNoCase(first, "soldier") &&
                     !EqualNoCase(first, "hugemodel"))
                add(Severity::error, opt, "needs model, bigmodel, soldier or hugemodel, not \"" + first + "\"");
        } else if (EqualNoCase(n, "-ambientlighting")) {
            if (args.empty()) {
                missing("colour");
                continue;
            }
            // Each of r=, g=, b= (the first of each) and a number up to the next space.
            for (const char* key : {"r=", "g=", "b="}) {
                const size_t at = first.find(key);
                const std::string v = at == std::string::npos ? std::string() : first.substr(at + 2, first.find(' ', at + 2) - at - 2);
                float f = 0;
                if (v.empty() || Number(v, f) == Read::none) {
                    add(Severity::error, opt, "needs \"r=R g=G b=B\", not \"" + first + "\"");
                    break;
                }
            }
        } else if (at != swallowed) {
            o.problems.push_back({"option", Severity::warning, opt.line, "unknown option " + n + " (the compiler ignores it)"});
        }
    }
    return o;
}

}  // namespace check
