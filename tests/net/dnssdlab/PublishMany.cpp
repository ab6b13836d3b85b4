// A peer for the DNS-SD tests: publishes many services of one type at once
// through the Avahi client library, as a crowded or hostile network would,
// and keeps them until it is ended.
//   climora_dnssd_publish_many TYPE PREFIX COUNT [TXT...]
// The services are named PREFIX followed by their number, port 7772. It says
// "established N" once the daemon has them all.
#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <avahi-common/strlst.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Run {
    AvahiSimplePoll* poll = nullptr;
    AvahiEntryGroup* group = nullptr;
    const char* type = nullptr;
    std::string prefix;
    int count = 0;
    AvahiStringList* txt = nullptr;
};

void groupChanged(AvahiEntryGroup*, AvahiEntryGroupState state, void* userdata) {
    auto* run = static_cast<Run*>(userdata);
    if (state == AVAHI_ENTRY_GROUP_ESTABLISHED) {
        std::printf("established %d\n", run->count);
        std::fflush(stdout);
    } else if (state == AVAHI_ENTRY_GROUP_COLLISION || state == AVAHI_ENTRY_GROUP_FAILURE) {
        std::fprintf(stderr, "the services could not be published\n");
        avahi_simple_poll_quit(run->poll);
    }
}

void clientChanged(AvahiClient* client, AvahiClientState state, void* userdata) {
    auto* run = static_cast<Run*>(userdata);
    if (state == AVAHI_CLIENT_FAILURE) {
        avahi_simple_poll_quit(run->poll);
        return;
    }
    if (state != AVAHI_CLIENT_S_RUNNING || run->group != nullptr)
        return;
    run->group = avahi_entry_group_new(client, &groupChanged, run);
    for (int i = 0; run->group != nullptr && i < run->count; ++i) {
        const std::string name = run->prefix + std::to_string(i);
        const int error = avahi_entry_group_add_service_strlst(
            run->group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), name.c_str(),
            run->type, nullptr, nullptr, 7772, run->txt);
        if (error < 0) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), avahi_strerror(error));
            avahi_simple_poll_quit(run->poll);
            return;
        }
    }
    if (run->group != nullptr)
        avahi_entry_group_commit(run->group);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s TYPE PREFIX COUNT [TXT...]\n", argv[0]);
        return 2;
    }
    Run run;
    run.type = argv[1];
    run.prefix = argv[2];
    run.count = std::atoi(argv[3]);
    for (int i = argc - 1; i >= 4; --i)
        run.txt = avahi_string_list_add(run.txt, argv[i]);
    run.poll = avahi_simple_poll_new();
    int error = 0;
    AvahiClient* client = avahi_client_new(avahi_simple_poll_get(run.poll), AvahiClientFlags(0),
                                           &clientChanged, &run, &error);
    if (client == nullptr) {
        std::fprintf(stderr, "no daemon: %s\n", avahi_strerror(error));
        return 1;
    }
    avahi_simple_poll_loop(run.poll);
    avahi_client_free(client);
    avahi_string_list_free(run.txt);
    avahi_simple_poll_free(run.poll);
    return 1;
}
