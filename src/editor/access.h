// Who may talk to the editor service: a secret token drawn from the
// operating system at start, the Host a browser sends for the loopback
// address (no other name may be pointed at the service), and for requests
// that change something the Origin of the page the service itself served.
// Pure checks, so they can be tested without a socket.
#pragma once

#include <string>
#include <string_view>

// 128 random bits from the operating system (getrandom, else
// /dev/urandom), as 32 hex digits; empty when neither gives them.
std::string randomToken();

// "127.0.0.1:PORT", "localhost:PORT" or "[::1]:PORT", exactly.
bool hostAllowed(std::string_view host, int port);
// "http://" and one of those hosts, exactly.
bool originAllowed(std::string_view origin, int port);
// "Bearer TOKEN" in the Authorization header or TOKEN from the query (an
// event stream cannot send headers; the caller passes an empty one for any
// other request); compared in constant time.
bool tokenAllowed(std::string_view authorization, std::string_view queryToken, std::string_view token);
