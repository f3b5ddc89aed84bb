#pragma once

#include <string_view>

namespace qm {

/// Whether `host` names this computer: "localhost" (any letter case), an
/// address in 127.0.0.0/8, ::1, or 127.x.x.x written as an IPv6 address. An
/// IPv6 address may be in brackets, as a URL writes it. Plain-text traffic
/// (an AI endpoint over http://, a mail server without TLS) is allowed only
/// to such a host, where nobody else can read it on the way.
bool isLoopbackHost(std::string_view host);

}  // namespace qm
