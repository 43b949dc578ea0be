// Writes the example tables of detrend into a directory:
//   generate_examples DIR
//
// sites.txt      six sites over 1700-2020, each series starting and ending
//                in its own years, -999 before and after its values;
// first-try.txt  two sites over 1961-2020, the second starting in 1972;
// site.rwl       one site in the Tucson layout: 16 cores, two from each of
//                eight trees (HR01A, HR01B, ...), in hundredths of a mm.
//
// A ring width is modelled as an age trend that falls with the age of the
// tree (c + a * r^age), times one plus a signal shared by all sites (a
// first-order autoregressive series, as a climate signal) plus noise of the
// site's own. Random numbers come from splitmix64 with a fixed seed, and only
// additions, multiplications and divisions are used, so every machine writes
// the same bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Random {
    std::uint64_t state;
    double uniform() {  // splitmix64, in [0, 1)
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) / 9007199254740992.0;
    }
    double normal() {  // approximately standard normal: the sum of 12 uniforms, less 6
        double sum = 0.0;
        for (int i = 0; i < 12; ++i) sum += uniform();
        return sum - 6.0;
    }
};

struct Site {
    const char* name;
    int first, last;  // years of the first and last ring
    double a, r, c;  // age trend c + a * r^age, in mm
    double noise;  // standard deviation of the site's own noise
};

// A table of `sites` over the years first..last, with a shared signal.
void writeTable(const std::string& path, int first, int last, const std::vector<Site>& sites, std::uint64_t seed) {
    Random random{seed};
    const int years = last - first + 1;
    std::vector<double> shared(static_cast<std::size_t>(years));
    double previous = 0.0;
    for (double& s : shared) previous = s = 0.45 * previous + 0.12 * random.normal();

    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fprintf(out, "Year");
    for (const Site& site : sites) {
        const std::string name = site.name;
        if (name.find(' ') != std::string::npos) {
            std::fprintf(out, " '%s'", site.name);
        } else {
            std::fprintf(out, " %s", site.name);
        }
    }
    std::fprintf(out, "\n");

    std::vector<double> trend(sites.size());
    for (std::size_t k = 0; k < sites.size(); ++k) trend[k] = sites[k].a;
    for (int y = first; y <= last; ++y) {
        std::fprintf(out, "%d", y);
        for (std::size_t k = 0; k < sites.size(); ++k) {
            const Site& site = sites[k];
            const double noise = site.noise * random.normal();  // drawn every year, used or not
            if (y < site.first || y > site.last) {
                std::fprintf(out, " -999");
                continue;
            }
            double width = (site.c + trend[k]) * (1.0 + shared[static_cast<std::size_t>(y - first)] + noise);
            if (width < 0.05) width = 0.05;
            trend[k] *= site.r;
            std::fprintf(out, " %.3f", width);
        }
        std::fprintf(out, "\n");
    }
    std::fclose(out);
}

struct Core {
    std::string id;
    int first;  // the year of its first ring (its last is `last`)
    double a, r, c;  // age trend c + a * r^age, in mm
};

// The data lines of one core: ID in columns 1-8, year in 9-12, ten values
// of six columns, the stop marker 999 after the last.
void writeCore(std::FILE* out, const Core& core, const std::vector<int>& hundredths) {
    int year = core.first;
    std::size_t k = 0;
    while (k <= hundredths.size()) {
        std::fprintf(out, "%-8s%4d", core.id.c_str(), year);
        do {
            std::fprintf(out, "%6d", k < hundredths.size() ? hundredths[k] : 999);
            ++k;
            ++year;
        } while (year % 10 != 0 && k <= hundredths.size());
        std::fprintf(out, "\n");
    }
}

// A site of `trees` trees with two cores each over first..last: every core
// the shared signal times its tree's own variation plus its own noise.
void writeTucsonSite(const std::string& path, int first, int last, int trees, std::uint64_t seed) {
    Random random{seed};
    const int years = last - first + 1;
    std::vector<double> shared(static_cast<std::size_t>(years));
    double previous = 0.0;
    for (double& s : shared) previous = s = 0.5 * previous + 0.10 * random.normal();
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fprintf(out, "HRG  1 High Ridge                                          PCAB\n");
    std::fprintf(out, "HRG  2 Made-up Range       Norway Spruce       1450M  4630__ 01020__    %d %d\n", first, last);
    std::fprintf(out, "HRG  3 Made-up Widths For The Examples\n");
    for (int t = 1; t <= trees; ++t) {
        const int start = first + static_cast<int>(random.uniform() * 60.0);
        std::vector<double> tree(static_cast<std::size_t>(years));
        for (double& v : tree) v = 0.06 * random.normal();
        for (const char core : {'A', 'B'}) {
            char id[16];
            std::snprintf(id, sizeof id, "HR%02d%c", t, core);
            const Core c{id, start + static_cast<int>(random.uniform() * 8.0), 1.5 + random.uniform(),
                         0.975 + 0.015 * random.uniform(), 0.4 + 0.3 * random.uniform()};
            std::vector<int> hundredths;
            double trend = c.a;
            for (int y = c.first; y <= last; ++y) {
                const auto at = static_cast<std::size_t>(y - first);
                double width = (c.c + trend) * (1.0 + shared[at] + tree[at] + 0.09 * random.normal());
                if (width < 0.05) width = 0.05;
                trend *= c.r;
                hundredths.push_back(static_cast<int>(width * 100.0 + 0.5));
            }
            writeCore(out, c, hundredths);
        }
    }
    std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: generate_examples DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    writeTable(dir + "/sites.txt", 1700, 2020,
               {
                   {"HighRidge", 1700, 2020, 2.1, 0.985, 0.45, 0.10},
                   {"NorthSlope", 1712, 2020, 1.6, 0.990, 0.40, 0.12},
                   {"Pine Creek", 1745, 2015, 2.6, 0.980, 0.55, 0.09},
                   {"LakeShore", 1768, 2008, 1.9, 0.988, 0.60, 0.11},
                   {"ValleyFloor", 1801, 2020, 3.0, 0.975, 0.70, 0.08},
                   {"WestBluff", 1830, 1996, 1.4, 0.992, 0.35, 0.13},
               },
               20261208);
    writeTable(dir + "/first-try.txt", 1961, 2020,
               {
                   {"Oak1", 1961, 2020, 1.8, 0.970, 0.60, 0.10},
                   {"Oak2", 1972, 2020, 2.2, 0.965, 0.50, 0.10},
               },
               19612020);
    writeTucsonSite(dir + "/site.rwl", 1801, 2020, 8, 18012020);
    return 0;
}
