#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <utility>

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

// The first header called `name`, in any case; empty when there is none.
QByteArray httpHeader(const HttpHeaders &headers, QByteArrayView name);
// "Not Found" for 404; "Unknown" for a status without a phrase here.
QByteArray httpReasonPhrase(int status);

// An HTTP/1.x request without a body, as a player or a browser sends one.
struct HttpRequest
{
    enum class Parse { Incomplete, Complete, Malformed };

    QByteArray method;
    QByteArray target; // as sent, query included
    QByteArray version;
    HttpHeaders headers;

    QByteArray header(QByteArrayView name) const { return httpHeader(headers, name); }
    // The target without its query, percent-decoded.
    QString path() const;
    // Whether the client keeps the connection for another request, by its version's default.
    bool keepsAlive() const;

    // Takes the request at the front of `input` once its head has fully arrived. A request with
    // a body is not expected and counts as malformed, as does a head past 16 KiB.
    static Parse take(QByteArray &input, HttpRequest &request);
};
