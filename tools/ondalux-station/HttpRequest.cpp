#include "HttpRequest.h"

#include <QUrl>

namespace {

constexpr qsizetype maxHeadBytes = 16 * 1024;

} // namespace

QByteArray httpHeader(const HttpHeaders &headers, QByteArrayView name)
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QByteArray httpReasonPhrase(int status)
{
    static constexpr std::pair<int, const char *> phrases[] = {
        { 200, "OK" },
        { 204, "No Content" },
        { 301, "Moved Permanently" },
        { 302, "Found" },
        { 303, "See Other" },
        { 307, "Temporary Redirect" },
        { 308, "Permanent Redirect" },
        { 400, "Bad Request" },
        { 403, "Forbidden" },
        { 404, "Not Found" },
        { 405, "Method Not Allowed" },
        { 500, "Internal Server Error" },
        { 503, "Service Unavailable" },
    };
    for (const auto &[code, phrase] : phrases) {
        if (code == status)
            return phrase;
    }
    return "Unknown";
}

QString HttpRequest::path() const
{
    const qsizetype query = target.indexOf('?');
    return QUrl::fromPercentEncoding(query < 0 ? target : target.left(query));
}

bool HttpRequest::keepsAlive() const
{
    const QByteArray connection = header("Connection").toLower();
    return version == "HTTP/1.1" ? connection != "close" : connection == "keep-alive";
}

HttpRequest::Parse HttpRequest::take(QByteArray &input, HttpRequest &request)
{
    qsizetype end = input.indexOf("\r\n\r\n");
    if (end < 0)
        return input.size() > maxHeadBytes ? Parse::Malformed : Parse::Incomplete;
    QList<QByteArray> lines = input.left(end).split('\n');
    input.remove(0, end + 4);
    const QList<QByteArray> requestLine = lines.takeFirst().trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1."))
        return Parse::Malformed;
    request.method = requestLine[0];
    request.target = requestLine[1];
    request.version = requestLine[2];
    for (const QByteArray &line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return Parse::Malformed;
        request.headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
    }
    const QByteArray length = request.header("Content-Length");
    if ((!length.isEmpty() && length != "0") || !request.header("Transfer-Encoding").isEmpty())
        return Parse::Malformed;
    return Parse::Complete;
}
