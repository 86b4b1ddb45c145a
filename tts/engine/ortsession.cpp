#include "tts/engine/ortsession.h"

#include "common/qt_osdirs.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

// The C API of ONNX Runtime, declared here from its documented slot table: every handle is opaque,
// every call is a function pointer at a fixed index of the table GetApi returns.
struct OrtStatus;
struct OrtEnv;
struct OrtSessionOptions;
struct OrtSessionHandle;
struct OrtRunOptions;
struct OrtValue;
struct OrtMemoryInfo;
struct OrtAllocator;
struct OrtTensorTypeAndShapeInfo;

namespace {

using Slot = void (*)();

struct OrtApiBase {
    const Slot* (*GetApi)(uint32_t version);
    const char* (*GetVersionString)();
};

constexpr uint32_t kApiVersion = 13;
constexpr int kElementFloat = 1;
constexpr int kElementInt64 = 7;
constexpr int kLogError = 3;
const char* const kSystemLibrary = "libonnxruntime.so.1";

struct OrtApi {
    const char* (*GetErrorMessage)(const OrtStatus*);
    OrtStatus* (*CreateEnv)(int, const char*, OrtEnv**);
    OrtStatus* (*CreateSession)(const OrtEnv*, const char*, const OrtSessionOptions*, OrtSessionHandle**);
    OrtStatus* (*Run)(OrtSessionHandle*, const OrtRunOptions*, const char* const*, const OrtValue* const*,
                      size_t, const char* const*, size_t, OrtValue**);
    OrtStatus* (*CreateSessionOptions)(OrtSessionOptions**);
    OrtStatus* (*SetSessionGraphOptimizationLevel)(OrtSessionOptions*, int);
    OrtStatus* (*SetIntraOpNumThreads)(OrtSessionOptions*, int);
    OrtStatus* (*SetInterOpNumThreads)(OrtSessionOptions*, int);
    OrtStatus* (*SessionGetInputCount)(const OrtSessionHandle*, size_t*);
    OrtStatus* (*SessionGetOutputCount)(const OrtSessionHandle*, size_t*);
    OrtStatus* (*SessionGetInputName)(const OrtSessionHandle*, size_t, OrtAllocator*, char**);
    OrtStatus* (*SessionGetOutputName)(const OrtSessionHandle*, size_t, OrtAllocator*, char**);
    OrtStatus* (*CreateTensorWithDataAsOrtValue)(const OrtMemoryInfo*, void*, size_t, const int64_t*, size_t,
                                                 int, OrtValue**);
    OrtStatus* (*GetTensorMutableData)(OrtValue*, void**);
    OrtStatus* (*GetDimensionsCount)(const OrtTensorTypeAndShapeInfo*, size_t*);
    OrtStatus* (*GetDimensions)(const OrtTensorTypeAndShapeInfo*, int64_t*, size_t);
    OrtStatus* (*GetTensorShapeElementCount)(const OrtTensorTypeAndShapeInfo*, size_t*);
    OrtStatus* (*GetTensorTypeAndShape)(const OrtValue*, OrtTensorTypeAndShapeInfo**);
    OrtStatus* (*CreateCpuMemoryInfo)(int, int, OrtMemoryInfo**);
    OrtStatus* (*AllocatorFree)(OrtAllocator*, void*);
    OrtStatus* (*GetAllocatorWithDefaultOptions)(OrtAllocator**);
    void (*ReleaseStatus)(OrtStatus*);
    void (*ReleaseMemoryInfo)(OrtMemoryInfo*);
    void (*ReleaseSession)(OrtSessionHandle*);
    void (*ReleaseValue)(OrtValue*);
    void (*ReleaseTensorTypeAndShapeInfo)(OrtTensorTypeAndShapeInfo*);
    void (*ReleaseSessionOptions)(OrtSessionOptions*);
};

template <typename Fn> void bind(Fn& fn, const Slot* table, int slot) {
    fn = reinterpret_cast<Fn>(table[slot]);
}

OrtApi bindApi(const Slot* t) {
    OrtApi a{};
    bind(a.GetErrorMessage, t, 2);
    bind(a.CreateEnv, t, 3);
    bind(a.CreateSession, t, 7);
    bind(a.Run, t, 9);
    bind(a.CreateSessionOptions, t, 10);
    bind(a.SetSessionGraphOptimizationLevel, t, 23);
    bind(a.SetIntraOpNumThreads, t, 24);
    bind(a.SetInterOpNumThreads, t, 25);
    bind(a.SessionGetInputCount, t, 30);
    bind(a.SessionGetOutputCount, t, 31);
    bind(a.SessionGetInputName, t, 36);
    bind(a.SessionGetOutputName, t, 37);
    bind(a.CreateTensorWithDataAsOrtValue, t, 49);
    bind(a.GetTensorMutableData, t, 51);
    bind(a.GetDimensionsCount, t, 61);
    bind(a.GetDimensions, t, 62);
    bind(a.GetTensorShapeElementCount, t, 64);
    bind(a.GetTensorTypeAndShape, t, 65);
    bind(a.CreateCpuMemoryInfo, t, 69);
    bind(a.AllocatorFree, t, 76);
    bind(a.GetAllocatorWithDefaultOptions, t, 78);
    bind(a.ReleaseStatus, t, 93);
    bind(a.ReleaseMemoryInfo, t, 94);
    bind(a.ReleaseSession, t, 95);
    bind(a.ReleaseValue, t, 96);
    bind(a.ReleaseTensorTypeAndShapeInfo, t, 99);
    bind(a.ReleaseSessionOptions, t, 100);
    return a;
}

struct Library {
    void* handle = nullptr;
    const OrtApiBase* base = nullptr;
    const Slot* table = nullptr;
};

bool openLibrary(const std::string& path, Library& lib, std::string& why) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* e = dlerror();
        why = e ? e : "cannot be opened";
        if (why.rfind(path + ": ", 0) == 0) {
            why.erase(0, path.size() + 2); // dlerror repeats the path
        }
        return false;
    }
    using GetApiBase = const OrtApiBase* (*)();
    auto getBase = reinterpret_cast<GetApiBase>(dlsym(handle, "OrtGetApiBase"));
    const OrtApiBase* base = getBase ? getBase() : nullptr;
    const Slot* table = base ? base->GetApi(kApiVersion) : nullptr;
    if (!table) {
        why = getBase ? "offers no C API version 13" : "has no OrtGetApiBase";
        dlclose(handle);
        return false;
    }
    lib = Library{handle, base, table};
    return true;
}

bool probe(const std::vector<std::string>& candidates, Library& lib, std::string& loadedFrom,
           std::string& err) {
    std::string tried;
    for (const std::string& path : candidates) {
        std::string why;
        if (openLibrary(path, lib, why)) {
            loadedFrom = path;
            return true;
        }
        tried += (tried.empty() ? "" : "; ") + path + ": " + why;
    }
    err = "ONNX Runtime library not found or not usable. Tried " + tried;
    return false;
}

// The runtime and its one environment live until the process ends: several sessions share them,
// and unloading ONNX Runtime while its threads may still exist is not safe.
struct Runtime {
    std::mutex mu;
    bool ready = false;
    OrtApi api{};
    const OrtApiBase* base = nullptr;
    OrtEnv* env = nullptr;
};

Runtime& runtime() {
    static Runtime* rt = new Runtime;
    return *rt;
}

std::string takeStatus(const OrtApi& api, OrtStatus* status) {
    std::string msg = api.GetErrorMessage(status);
    api.ReleaseStatus(status);
    return msg;
}

const OrtApi* startRuntime(std::string& err) {
    Runtime& rt = runtime();
    std::lock_guard<std::mutex> lock(rt.mu);
    if (rt.ready) {
        return &rt.api;
    }
    Library lib;
    std::string from;
    if (!probe(ortLibraryCandidates(), lib, from, err)) {
        return nullptr;
    }
    OrtApi api = bindApi(lib.table);
    OrtEnv* env = nullptr;
    if (OrtStatus* st = api.CreateEnv(kLogError, "parlona", &env)) {
        err = "ONNX Runtime environment: " + takeStatus(api, st);
        return nullptr;
    }
    rt.api = api;
    rt.base = lib.base;
    rt.env = env;
    rt.ready = true;
    return &rt.api;
}

} // namespace

struct OrtSession::Impl {
    const OrtApi* api = nullptr;
    OrtSessionHandle* session = nullptr;
    OrtMemoryInfo* memory = nullptr;

    ~Impl() {
        if (session) {
            api->ReleaseSession(session);
        }
        if (memory) {
            api->ReleaseMemoryInfo(memory);
        }
    }

    // Turns a failed status into `err` with a context; true when the call succeeded.
    bool ok(OrtStatus* st, const char* what, std::string& err) const {
        if (!st) {
            return true;
        }
        err = std::string(what) + ": " + takeStatus(*api, st);
        return false;
    }

    bool names(bool inputs, std::vector<std::string>& out, std::string& err) const {
        size_t count = 0;
        OrtStatus* st =
            inputs ? api->SessionGetInputCount(session, &count) : api->SessionGetOutputCount(session, &count);
        OrtAllocator* alloc = nullptr;
        if (!ok(st, "model names", err) ||
            !ok(api->GetAllocatorWithDefaultOptions(&alloc), "default allocator", err)) {
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            char* name = nullptr;
            st = inputs ? api->SessionGetInputName(session, i, alloc, &name)
                        : api->SessionGetOutputName(session, i, alloc, &name);
            if (!ok(st, "model names", err)) {
                return false;
            }
            out.emplace_back(name);
            api->AllocatorFree(alloc, name);
        }
        return true;
    }
};

OrtSession::OrtSession() = default;
OrtSession::~OrtSession() = default;

bool OrtSession::isLoaded() const {
    return impl_ && impl_->session;
}

bool OrtSession::hasInput(const std::string& name) const {
    for (const std::string& n : inputNames_) {
        if (n == name) {
            return true;
        }
    }
    return false;
}

bool OrtSession::load(const std::filesystem::path& model, const Options& options, std::string& err) {
    impl_.reset();
    inputNames_.clear();
    outputNames_.clear();
    auto impl = std::make_unique<Impl>();
    impl->api = startRuntime(err);
    if (!impl->api) {
        return false;
    }
    const OrtApi& api = *impl->api;
    OrtSessionOptions* opts = nullptr;
    if (!impl->ok(api.CreateSessionOptions(&opts), "session options", err)) {
        return false;
    }
    bool ok = impl->ok(api.SetIntraOpNumThreads(opts, options.intraOpThreads), "intra-op threads", err) &&
              impl->ok(api.SetInterOpNumThreads(opts, options.interOpThreads), "inter-op threads", err) &&
              impl->ok(api.SetSessionGraphOptimizationLevel(opts, options.optimizationLevel), "optimisation",
                       err) &&
              impl->ok(api.CreateSession(runtime().env, model.c_str(), opts, &impl->session), "model", err);
    api.ReleaseSessionOptions(opts);
    ok = ok && impl->ok(api.CreateCpuMemoryInfo(1, 0, &impl->memory), "memory info", err) &&
         impl->names(true, inputNames_, err) && impl->names(false, outputNames_, err);
    if (!ok) {
        inputNames_.clear();
        outputNames_.clear();
        return false;
    }
    if (outputNames_.empty()) {
        err = "model has no output";
        return false;
    }
    impl_ = std::move(impl);
    return true;
}

bool OrtSession::run(const std::vector<OrtInput>& inputs, std::vector<float>& output,
                     std::vector<int64_t>& shape, std::string& err) {
    output.clear();
    shape.clear();
    if (!isLoaded()) {
        err = "no model loaded";
        return false;
    }
    const OrtApi& api = *impl_->api;
    std::vector<OrtValue*> values;
    std::vector<const char*> names;
    auto releaseAll = [&]() {
        for (OrtValue* v : values) {
            api.ReleaseValue(v);
        }
    };
    for (const OrtInput& in : inputs) {
        const bool isInt = !in.ints.empty();
        // ONNX Runtime reads input tensors without writing them; the API just lacks const.
        void* data = isInt ? static_cast<void*>(const_cast<int64_t*>(in.ints.data()))
                           : static_cast<void*>(const_cast<float*>(in.floats.data()));
        const size_t bytes = isInt ? in.ints.size() * sizeof(int64_t) : in.floats.size() * sizeof(float);
        OrtValue* v = nullptr;
        OrtStatus* st =
            api.CreateTensorWithDataAsOrtValue(impl_->memory, data, bytes, in.shape.data(), in.shape.size(),
                                               isInt ? kElementInt64 : kElementFloat, &v);
        if (!impl_->ok(st, ("input " + in.name).c_str(), err)) {
            releaseAll();
            return false;
        }
        values.push_back(v);
        names.push_back(in.name.c_str());
    }
    const char* outName = outputNames_.front().c_str();
    OrtValue* out = nullptr;
    OrtStatus* st =
        api.Run(impl_->session, nullptr, names.data(), values.data(), values.size(), &outName, 1, &out);
    releaseAll();
    if (!impl_->ok(st, "inference", err)) {
        return false;
    }
    OrtTensorTypeAndShapeInfo* info = nullptr;
    size_t dims = 0;
    size_t count = 0;
    void* data = nullptr;
    bool ok = impl_->ok(api.GetTensorTypeAndShape(out, &info), "output shape", err);
    if (ok) {
        ok = impl_->ok(api.GetDimensionsCount(info, &dims), "output shape", err);
        shape.resize(dims);
        ok = ok && impl_->ok(api.GetDimensions(info, shape.data(), dims), "output shape", err) &&
             impl_->ok(api.GetTensorShapeElementCount(info, &count), "output shape", err);
        api.ReleaseTensorTypeAndShapeInfo(info);
    }
    ok = ok && impl_->ok(api.GetTensorMutableData(out, &data), "output data", err);
    if (ok && count > 0) {
        const float* f = static_cast<const float*>(data);
        output.assign(f, f + count);
    }
    api.ReleaseValue(out);
    return ok;
}

std::vector<std::string> ortLibraryCandidates() {
    std::vector<std::string> c;
    if (const char* env = std::getenv("PARLONA_ONNXRUNTIME"); env && *env) {
        c.emplace_back(env);
    }
    c.push_back(executableDir() + "/../Resources/onnxruntime/libonnxruntime.so.1");
    c.emplace_back(kSystemLibrary);
    return c;
}

bool ortProbeLibrary(const std::vector<std::string>& candidates, std::string& loadedFrom, std::string& err) {
    Library lib;
    if (!probe(candidates, lib, loadedFrom, err)) {
        return false;
    }
    dlclose(lib.handle);
    return true;
}

std::string ortVersion() {
    Runtime& rt = runtime();
    std::lock_guard<std::mutex> lock(rt.mu);
    return rt.ready ? rt.base->GetVersionString() : std::string();
}
