#include "platform/Console.h"

namespace platform {

namespace {

bool Blank(char16_t c) {
    return c == u' ' || c == u'\t';
}

}  // namespace

std::vector<std::u16string> SplitCommandLine(const std::u16string& line) {
    std::vector<std::u16string> args;
    size_t i = 0;
    const size_t n = line.size();
    // The program's name: up to the closing quote when it starts with one, else to a blank;
    // backslashes are plain there.
    {
        std::u16string name;
        if (i < n && line[i] == u'"') {
            for (++i; i < n && line[i] != u'"'; ++i) name.push_back(line[i]);
            if (i < n) ++i;
        } else {
            for (; i < n && !Blank(line[i]); ++i) name.push_back(line[i]);
        }
        args.push_back(name);
    }
    for (;;) {
        while (i < n && Blank(line[i])) ++i;
        if (i >= n) break;
        std::u16string arg;
        bool quoted = false;
        for (; i < n && (quoted || !Blank(line[i])); ++i) {
            if (line[i] == u'\\') {
                size_t run = 0;
                while (i + run < n && line[i + run] == u'\\') ++run;
                if (i + run >= n || line[i + run] != u'"') {
                    arg.append(run, u'\\');
                    i += run - 1;
                    continue;
                }
                // Backslashes before a quote: each pair is one backslash; an odd one makes the
                // quote a plain character, except where that quote ends the quoted value. A
                // folder typed as "C:\Apps\Q T\" means the folder, not a value that goes on.
                const size_t after = i + run + 1;
                const bool ends = quoted && (after >= n || Blank(line[after]));
                if (run % 2 == 1 && ends) {
                    arg.append(run, u'\\');
                    quoted = false;
                } else {
                    arg.append(run / 2, u'\\');
                    if (run % 2 == 1)
                        arg.push_back(u'"');
                    else
                        quoted = !quoted;
                }
                i += run;  // at the quote
                continue;
            }
            if (line[i] == u'"') {
                if (quoted && i + 1 < n && line[i + 1] == u'"') {
                    arg.push_back(u'"');  // "" inside quotes is one quote
                    ++i;
                } else {
                    quoted = !quoted;
                }
                continue;
            }
            arg.push_back(line[i]);
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace platform
