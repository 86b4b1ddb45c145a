// Timing of project database work at 10,000 segments: creation, opening and reading, and the edits
// the editor makes while the user types. Run by hand: bench_project [segments] [repetitions].
#include "project/projectdb.h"
#include "project/ttsproject.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double timeOnce(const std::function<bool()>& work) {
    const auto start = std::chrono::steady_clock::now();
    if (!work()) {
        std::fprintf(stderr, "operation failed\n");
        std::exit(1);
    }
    return msSince(start);
}

void report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %8.2f ms   max %8.2f ms   (%zu runs)\n", what, times[times.size() / 2],
                times.back(), times.size());
}

std::string projectText(int segments) {
    std::string text;
    for (int i = 0; i < segments; ++i) {
        text += "Segment number " + std::to_string(i) + " with a sentence of ordinary length, as typed.\n";
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const int segments = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 25;
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/bench";
    const std::string text = projectText(segments);
    std::printf("project of %d segments, %d runs per edit\n", segments, runs);

    std::vector<double> created;
    created.push_back(timeOnce([&] {
        TTSProject project;
        ProjectVoice voice;
        voice.uid = "bench";
        std::vector<ProjectSeg> out;
        return project.create(folder, "Bench", voice, 1.0f) &&
               project.db.updateAndSplitSeg(ProjectSeg(), text, out);
    }));
    report("create project with all segments", created);

    TTSProject project;
    std::vector<ProjectSeg> segs;
    std::vector<double> opened;
    for (int i = 0; i < 5; ++i) {
        segs.clear();
        opened.push_back(timeOnce([&] {
            TTSProject p;
            return p.open(folder) && p.db.segs([&](const ProjectSeg& s) { segs.push_back(s); });
        }));
    }
    report("open and read all segments", opened);
    if (!project.open(folder) || static_cast<int>(segs.size()) != segments) {
        std::fprintf(stderr, "unexpected project content\n");
        return 1;
    }
    ProjectDb& db = project.db;
    ProjectSeg first = segs.front();

    std::vector<double> typed, inserted, split, merged, converted;
    for (int i = 0; i < runs; ++i) {
        first.text = "Edited " + std::to_string(i);
        typed.push_back(timeOnce([&] { return db.updateSeg(first); }));

        std::vector<ProjectSeg> one = {ProjectSeg()};
        one[0].text = "inserted";
        inserted.push_back(timeOnce([&] { return db.insertSegsAfter(first.id, one, 0, 0); }));

        std::vector<ProjectSeg> out;
        split.push_back(
            timeOnce([&] { return db.updateAndSplitSeg(first, "First half.\nSecond half.", out); }));
        first = out[0];

        merged.push_back(timeOnce([&] { return db.mergeSegs(first, out[1].id, out[1].text, nullptr); }));
        converted.push_back(timeOnce([&] { return db.updateConverted(first, 2.5, 1); }));
    }
    report("store an edited segment (updateSeg)", typed);
    report("insert a segment after the first", inserted);
    report("split the first segment in two", split);
    report("merge it back", merged);
    report("record a conversion (updateConverted)", converted);
    return 0;
}
