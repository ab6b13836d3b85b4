#pragma once

#include <QString>

#include <curl/curl.h>

// libcurl, loaded when the first web request is made instead of when the
// program starts: it brings a long chain of libraries (TLS, Kerberos, LDAP)
// whose loading would delay every start, while most runs never download
// anything. The functions keep their libcurl names without the "curl_"
// prefix and are called through the loaded library.
class CurlLibrary {
public:
#define CLIMORA_CURL_FUNCTIONS(X)                                                                  \
    X(global_init)                                                                                 \
    X(easy_init)                                                                                   \
    X(easy_setopt)                                                                                 \
    X(easy_getinfo)                                                                                \
    X(easy_cleanup)                                                                                \
    X(easy_strerror)                                                                               \
    X(multi_init)                                                                                  \
    X(multi_setopt)                                                                                \
    X(multi_add_handle)                                                                            \
    X(multi_remove_handle)                                                                         \
    X(multi_socket_action)                                                                         \
    X(multi_info_read)                                                                             \
    X(multi_strerror)                                                                              \
    X(multi_cleanup)                                                                               \
    X(slist_append)                                                                                \
    X(slist_free_all)

#define CLIMORA_CURL_POINTER(name) decltype(&::curl_##name) name = nullptr;
    CLIMORA_CURL_FUNCTIONS(CLIMORA_CURL_POINTER)
#undef CLIMORA_CURL_POINTER

    // The library, loaded and started on the first call; nullptr when it
    // cannot be loaded or started, and then loadError() tells why. Later
    // calls do not try again.
    static const CurlLibrary* get();
    static QString loadError();

private:
    CurlLibrary() = default;
};
