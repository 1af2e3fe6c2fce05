#include <arpa/inet.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dante/conmon/internal/conmon_client_impl.h"

namespace {

constexpr uint32_t kVbroadcastBit = 1u << CONMON_CHANNEL_TYPE_VBROADCAST;

}  // namespace

conmon_client_config_t* conmon_client_config_new(const char* client_name) {
    if (!client_name) {
        return nullptr;
    }
    auto* config = static_cast<conmon_client_config_t*>(calloc(1, sizeof(conmon_client_config_t)));
    if (!config) {
        return nullptr;
    }
    snprintf(config->client_name, sizeof config->client_name, "%s", client_name);
    config->server.sin_family = AF_INET;
    config->server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    config->server.sin_port = htons(CONMON_DEFAULT_SERVER_PORT);
    config->protocol_version = CONMON_IPC_VERSION_DEFAULT;
    config->channel_mask = CONMON_CLIENT_DEFAULT_CHANNEL_MASK;
    return config;
}

aud_error_t conmon_client_config_delete(conmon_client_config_t* config) {
    free(config);
    return AUD_SUCCESS;
}

aud_error_t conmon_client_config_set_server_port(conmon_client_config_t* config, uint16_t port) {
    if (!config) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    config->server.sin_port = htons(port ? port : CONMON_DEFAULT_SERVER_PORT);
    return AUD_SUCCESS;
}

aud_error_t conmon_client_config_enable_vendor_broadcast(conmon_client_config_t* config,
                                                         bool enabled) {
    if (!config) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (enabled) {
        config->channel_mask |= kVbroadcastBit;
    } else {
        config->channel_mask &= ~kVbroadcastBit;
    }
    return AUD_SUCCESS;
}

aud_error_t conmon_client_config_set_vendor_broadcast_address(conmon_client_config_t* config,
                                                              uint32_t group) {
    if (!config) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    config->vbroadcast_group = group;
    return AUD_SUCCESS;
}

aud_error_t conmon_client_config_set_protocol_version(conmon_client_config_t* config,
                                                      uint16_t version) {
    if (!config || version < CONMON_IPC_VERSION_MIN || version > CONMON_IPC_VERSION_MAX) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    config->protocol_version = version;
    return AUD_SUCCESS;
}

aud_error_t conmon_client_config_set_channel_mask(conmon_client_config_t* config, uint32_t mask) {
    if (!config) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    config->channel_mask = mask & ((1u << CONMON_NUM_CHANNELS) - 1);
    return AUD_SUCCESS;
}

uint32_t conmon_client_config_get_channel_mask(const conmon_client_config_t* config) {
    return config ? config->channel_mask : 0;
}
