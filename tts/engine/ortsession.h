#pragma once
// A model session of ONNX Runtime, loaded at run time through our own binding of its C API, so the
// product needs neither its headers nor a link-time dependency.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// One named input tensor: int64 or float data with its shape.
struct OrtInput {
    std::string name;
    std::vector<int64_t> shape;
    std::vector<int64_t> ints;
    std::vector<float> floats; // used when `ints` is empty
};

class OrtSession {
public:
    struct Options {
        int intraOpThreads = 1;
        int interOpThreads = 1;
        int optimizationLevel = 99; // 0 none, 1 basic, 2 extended, 99 all
    };

    OrtSession();
    ~OrtSession();
    OrtSession(const OrtSession&) = delete;
    OrtSession& operator=(const OrtSession&) = delete;

    // Loads the runtime (once per process) and the model; false with `err` saying why.
    bool load(const std::filesystem::path& model, const Options& options, std::string& err);
    bool isLoaded() const;
    const std::vector<std::string>& inputNames() const { return inputNames_; }
    const std::vector<std::string>& outputNames() const { return outputNames_; }
    bool hasInput(const std::string& name) const;

    // Runs the model and returns its first output, which must be a float tensor.
    bool run(const std::vector<OrtInput>& inputs, std::vector<float>& output, std::vector<int64_t>& shape,
             std::string& err);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::vector<std::string> inputNames_;
    std::vector<std::string> outputNames_;
};

// Where the runtime library is looked for, first hit wins: $PARLONA_ONNXRUNTIME, the bundle's
// "../Resources/onnxruntime/libonnxruntime.so.1" beside the executable, the system search path.
std::vector<std::string> ortLibraryCandidates();

// Opens the first candidate that loads and offers the C API. On failure `err` names every place
// tried with the reason (the worker puts "Load failed. " in front of engine load errors). Process-wide state
// is not touched.
bool ortProbeLibrary(const std::vector<std::string>& candidates, std::string& loadedFrom, std::string& err);

// Version text of the runtime in use; empty until a session has loaded it.
std::string ortVersion();
