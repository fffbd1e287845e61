/* One HTTP/1.0 request to 127.0.0.1, for the score server's tests and benchmarks. */
#ifndef GK_HTTP_CLIENT_H
#define GK_HTTP_CLIENT_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

namespace gk {

/* A request to 127.0.0.1:port; the status, or -1 when no answer came. */
inline int HttpSend(int port, const std::string &method, const std::string &target, const std::string &payload,
                    std::string *body)
{
    body->clear();
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return -1;
    struct timeval tv = {60, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string req = method + " " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n", in;
    if (method == "POST")
        req += "Content-Type: application/octet-stream\r\nContent-Length: " + std::to_string(payload.size()) + "\r\n";
    req += "\r\n" + payload;
    if (connect(s, (struct sockaddr *)&a, sizeof(a)) != 0 ||
        send(s, req.data(), req.size(), MSG_NOSIGNAL) != (ssize_t)req.size()) {
        close(s);
        return -1;
    }
    char buf[65536];
    ssize_t n;
    while ((n = recv(s, buf, sizeof(buf), 0)) > 0)
        in.append(buf, (size_t)n);
    close(s);
    size_t head = in.find("\r\n\r\n");
    if (in.compare(0, 5, "HTTP/") != 0 || head == std::string::npos)
        return -1;
    *body = in.substr(head + 4);
    return atoi(in.c_str() + in.find(' ') + 1);
}

} // namespace gk

#endif
