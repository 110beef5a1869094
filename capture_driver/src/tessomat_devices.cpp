// Device lists, local and remote, and remote authentication records.
#include <cstdlib>
#include <cstring>

#include "remote_source.h"
#include "tessomat_module.h"

extern "C" {

int32_t TsmGetAllNIC(pcap_if** out)
{
    if (!out)
        return TSM_INVALID_ARG;
    char errbuf[PCAP_ERRBUF_SIZE];
    return pcap_findalldevs(out, errbuf) == 0 ? TSM_OK : TSM_REFUSED;
}

int32_t TsmFreeAllNIC(pcap_if* list)
{
    if (!list)
        return TSM_INVALID_ARG;
    pcap_freealldevs(list);
    return TSM_OK;
}

int32_t TsmGetRemoteAllNIC(const char* host, const char* port, pcap_rmtauth* auth, pcap_if** out)
{
    if (!host || !*host || !out)
        return TSM_INVALID_ARG;
    const std::string portText = port && *port ? port : tessomat::kDefaultRemotePort;
    if (!tessomat::remoteServerReachable(host, portText, tessomat::kRemoteConnectTimeoutMs))
        return TSM_REFUSED;
    const std::string source = tessomat::remoteServerSource(host, portText);
    char errbuf[PCAP_ERRBUF_SIZE];
    return pcap_findalldevs_ex(source.c_str(), auth, out, errbuf) == 0 ? TSM_OK : TSM_REFUSED;
}

int32_t TsmCreateAuthInfo(int32_t type, const char* user, const char* password, pcap_rmtauth** out)
{
    if (type != RPCAP_RMTAUTH_PWD)
        return TSM_OK;
    if (!user || !password || !out)
        return TSM_INVALID_ARG;
    auto* auth = static_cast<pcap_rmtauth*>(std::malloc(sizeof(pcap_rmtauth)));
    char* userCopy = strdup(user);
    char* passwordCopy = strdup(password);
    if (!auth || !userCopy || !passwordCopy) {
        std::free(auth);
        std::free(userCopy);
        std::free(passwordCopy);
        return TSM_NO_MEMORY;
    }
    auth->type = RPCAP_RMTAUTH_PWD;
    auth->username = userCopy;
    auth->password = passwordCopy;
    *out = auth;
    return TSM_OK;
}

int32_t TsmDeleteAuthInfo(pcap_rmtauth* auth)
{
    if (!auth)
        return TSM_INVALID_ARG;
    std::free(auth->username);
    if (auth->password) // wiped so the password does not linger in freed memory
        explicit_bzero(auth->password, std::strlen(auth->password));
    std::free(auth->password);
    std::free(auth);
    return TSM_OK;
}

} // extern "C"
