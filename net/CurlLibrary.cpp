#include "net/CurlLibrary.h"

#include <dlfcn.h>

#include <memory>

namespace {

// The soname of the ABI the headers describe.
constexpr const char* libraryName = "libcurl.so.4";

QString& errorText() {
    static QString text;
    return text;
}

} // namespace

const CurlLibrary* CurlLibrary::get() {
    static const std::unique_ptr<CurlLibrary> loaded = []() -> std::unique_ptr<CurlLibrary> {
        // Never closed: the library stays loaded for the rest of the run.
        void* handle = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            errorText() = QString::fromLocal8Bit(dlerror());
            return nullptr;
        }
        std::unique_ptr<CurlLibrary> api(new CurlLibrary);
        bool complete = true;
#define CLIMORA_CURL_RESOLVE(name)                                                                 \
    api->name = reinterpret_cast<decltype(api->name)>(dlsym(handle, "curl_" #name));               \
    complete = complete && api->name != nullptr;
        CLIMORA_CURL_FUNCTIONS(CLIMORA_CURL_RESOLVE)
#undef CLIMORA_CURL_RESOLVE
        if (!complete) {
            errorText() = QStringLiteral("%1 lacks a function this program needs").arg(libraryName);
            return nullptr;
        }
        if (api->global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            errorText() = QStringLiteral("%1 could not be started").arg(libraryName);
            return nullptr;
        }
        return api;
    }();
    return loaded.get();
}

QString CurlLibrary::loadError() {
    get();
    return errorText();
}
