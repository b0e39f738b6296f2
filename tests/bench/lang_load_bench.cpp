// Language data load benchmark: a language file whose table holds n distinct
// lines in ascending, descending or random order, read as the monitor reads
// ui.local. Prints lines per second and the ratio to a plain std::sort of the
// same strings (the least any load that sorts can cost).
//   lang_load_bench [max-lines]     (default 1000000; sizes 10^4 .. max)
// The native build compares through an ordinal comparison; the Windows build
// through the platform's CompareStringW.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "lang/language.h"
#include "lang/language_stream.h"
#include "support/fake_platform.h"
#ifdef _WIN32
#include "platform/win32/locale_win32.h"
#else
#include "support/fake_locale.h"
#endif

using namespace vxm;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<u16> DistinctLines(std::size_t n, std::mt19937& rng) {
    std::uniform_int_distribution<int> letter(0, 25), length(4, 16);
    std::vector<u16> lines;
    lines.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        u16 source;
        for (int k = length(rng); k > 0; --k) source += static_cast<char16_t>(u'a' + letter(rng));
        source += ToU16(static_cast<long long>(i));  // distinct whatever the letters
        lines.push_back(source + u"=" + source + u" translated");
    }
    return lines;
}

// One language, "0409", whose table holds `lines`.
std::vector<std::uint8_t> Stream(const std::vector<u16>& lines) {
    LanguageStreamWriter out;
    out.Text(u16());
    out.Count(1);
    out.Text(u"0409");
    u16 table;
    for (const auto& l : lines) table += l + u"\r\n";
    out.Text(table);
    return out.Take();
}

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Best of a few runs, at least 0.3 s in all.
template <typename F>
double Best(F&& run) {
    double best = 1e300, total = 0;
    for (int i = 0; i < 3 || total < 0.3; ++i) {
        const double t = run();
        best = std::min(best, t);
        total += t;
        if (i >= 20) break;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t maxLines = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
#ifdef _WIN32
    win32::NationalLanguage nls;
    const char* comparison = "CompareStringW";
#else
    fake::FakeNationalLanguage nls;
    const char* comparison = "ordinal";
#endif
    fake::FakeFileSystem files;
    std::printf("language data load (%s comparison): one table of n distinct lines\n", comparison);
    std::printf("%9s %-10s %10s %14s %10s %8s\n", "lines", "order", "load ms", "lines/s", "sort ms", "ratio");
    std::mt19937 rng(13);
    for (std::size_t n = 10000; n <= maxLines; n *= 10) {
        std::vector<u16> lines = DistinctLines(n, rng);
        std::sort(lines.begin(), lines.end(), [&](const u16& a, const u16& b) { return nls.Compare(a, b, false) < 0; });
        for (const char* order : {"ascending", "descending", "random"}) {
            std::vector<u16> ordered = lines;
            if (order[0] == 'd') std::reverse(ordered.begin(), ordered.end());
            if (order[0] == 'r') std::shuffle(ordered.begin(), ordered.end(), rng);
            const auto stream = Stream(ordered);
            std::size_t loaded = 0;
            const double load = Best([&] {
                TvgLang lang(LanguageDependencies{nls, files, u"C:\\", u"", false, nullptr});
                const auto t0 = Clock::now();
                lang.ReadResources(stream.data(), stream.size());
                const auto t1 = Clock::now();
                loaded = lang.LanguageTableAt(0).Count();
                return Seconds(t0, t1);
            });
            const double sort = Best([&] {
                std::vector<u16> copy = ordered;
                const auto t0 = Clock::now();
                std::sort(copy.begin(), copy.end());
                return Seconds(t0, Clock::now());
            });
            if (loaded != n + 1) {  // n lines and the empty piece after the last line break
                std::printf("load lost lines: %zu of %zu\n", loaded, n + 1);
                return 1;
            }
            std::printf("%9zu %-10s %10.1f %14.0f %10.1f %8.1f\n", n, order, load * 1e3, static_cast<double>(n) / load,
                        sort * 1e3, load / sort);
            std::fflush(stdout);
        }
    }
    return 0;
}
