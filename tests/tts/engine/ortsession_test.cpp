#include "tests/tts/engine/enginevoice.h"
#include "tts/engine/ortsession.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <cmath>

namespace {

// Loads a generated model and runs it by input name: a wrong slot in the binding crashes here.
TEST(OrtSessionTest, RunsGeneratedModelByInputName) {
    EngineVoices voices;
    TestVoiceSpec spec;
    spec.speakers = 2;
    const GeneratedVoice voice = voices.make(spec);
    ASSERT_FALSE(voice.model.empty()) << voices.error;

    OrtSession session;
    std::string err;
    ASSERT_TRUE(session.load(voice.model, OrtSession::Options{}, err)) << err;
    EXPECT_FALSE(ortVersion().empty());
    for (const char* name : {"input", "input_lengths", "scales", "sid"}) {
        EXPECT_TRUE(session.hasInput(name)) << name;
    }
    ASSERT_EQ(session.outputNames().size(), 1u);

    // Inputs in another order than the model declares them.
    const std::vector<OrtInput> inputs{
        {"sid", {1}, {1}, {}},
        {"scales", {3}, {}, {0.667f, 1.0f, 0.8f}},
        {"input_lengths", {1}, {3}, {}},
        {"input", {1, 3}, {1, 20, 2}, {}},
    };
    std::vector<float> out;
    std::vector<int64_t> shape;
    ASSERT_TRUE(session.run(inputs, out, shape, err)) << err;
    const int64_t perId = 661; // floor(0.03 * 22050)
    EXPECT_EQ(shape, (std::vector<int64_t>{1, 1, 3 * perId}));
    ASSERT_EQ(out.size(), static_cast<size_t>(3 * perId));
    float peak = 0;
    for (float s : out) {
        peak = std::max(peak, std::fabs(s));
    }
    EXPECT_NEAR(peak, 0.5f, 0.01f);

    // A failing run reports the runtime's text and leaves the session usable.
    std::vector<OrtInput> wrong = inputs;
    wrong[3].name = "no_such_input";
    EXPECT_FALSE(session.run(wrong, out, shape, err));
    EXPECT_NE(err.find("no_such_input"), std::string::npos) << err;
    EXPECT_TRUE(session.run(inputs, out, shape, err)) << err;
}

TEST(OrtSessionTest, LibraryCandidatesFollowLookupOrder) {
    qputenv("PARLONA_ONNXRUNTIME", "/opt/custom/libonnxruntime.so.1");
    std::vector<std::string> c = ortLibraryCandidates();
    qunsetenv("PARLONA_ONNXRUNTIME");
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0], "/opt/custom/libonnxruntime.so.1");
    EXPECT_NE(c[1].find("/../Resources/onnxruntime/libonnxruntime.so.1"), std::string::npos) << c[1];
    EXPECT_EQ(c[2], "libonnxruntime.so.1");
    EXPECT_EQ(ortLibraryCandidates().size(), 2u);
}

TEST(OrtSessionTest, BuildTreeLibraryLoads) {
    std::string from;
    std::string err;
    EXPECT_TRUE(ortProbeLibrary(ortLibraryCandidates(), from, err)) << err;
    EXPECT_FALSE(from.empty());
}

TEST(OrtSessionTest, MissingLibraryNamesEveryPlaceTried) {
    EngineVoices voices;
    const std::string notLibrary = voices.root() + "/libonnxruntime.so.1";
    QFile f(QString::fromStdString(notLibrary));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a shared object");
    f.close();
    const std::string missing = voices.root() + "/absent/libonnxruntime.so.1";
    std::string from;
    std::string err;
    EXPECT_FALSE(ortProbeLibrary({missing, notLibrary}, from, err));
    EXPECT_EQ(err.rfind("ONNX Runtime library not found", 0), 0u) << err;
    EXPECT_NE(err.find(missing), std::string::npos) << err;
    EXPECT_NE(err.find(notLibrary), std::string::npos) << err;
    EXPECT_TRUE(from.empty());
}

TEST(OrtSessionTest, RunWithoutModelFails) {
    OrtSession session;
    std::vector<float> out;
    std::vector<int64_t> shape;
    std::string err;
    EXPECT_FALSE(session.run({}, out, shape, err));
    EXPECT_FALSE(err.empty());
}

} // namespace
