#include "StreamTrust.h"

#include "GstHandles.h"
#include "TlsTrust.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMultiHash>
#include <QMutex>

#include <utility>
#include <vector>

Q_LOGGING_CATEGORY(lcTrust, "ondalux.trust")

// glib-networking's own databases hold every authority of the system parsed, and give each
// connection a trust list of its own, parsed again. A stream needs one authority, the one that
// issued its server's chain: this database keeps the authorities as text by subject, and verifies
// a chain against those whose subject issued a certificate of it, parsing only them.
namespace {

// Where GnuTLS finds the system's authorities on this platform.
constexpr auto systemBundle = "/etc/ssl/certs/ca-certificates.crt";

using Certificate = gsthandles::GObject<GTlsCertificate>;

QString nameOf(GTlsCertificate *certificate, const char *property)
{
    gchar *name = nullptr;
    g_object_get(certificate, property, &name, nullptr);
    return QString::fromUtf8(gsthandles::Text(name).get());
}

struct Anchors
{
    QMultiHash<QString, QByteArray> bySubject;

    // One certificate at a time, so no more than one is ever held parsed.
    void add(const QByteArray &pem)
    {
        static const QByteArray end = "-----END CERTIFICATE-----";
        qsizetype from = 0;
        for (qsizetype to; (to = pem.indexOf(end, from)) >= 0; from = to + end.size()) {
            const QByteArray block = pem.mid(from, to + end.size() - from).trimmed();
            const Certificate certificate(
                g_tls_certificate_new_from_pem(block.constData(), block.size(), nullptr));
            if (certificate != nullptr)
                bySubject.insert(nameOf(certificate.get(), "subject-name"), block);
        }
    }

    // The authorities that may have issued a certificate of `chain`, parsed.
    std::vector<Certificate> issuersOf(GTlsCertificate *chain) const
    {
        std::vector<Certificate> found;
        QSet<QString> names;
        for (GTlsCertificate *link = chain; link != nullptr;
             link = g_tls_certificate_get_issuer(link)) {
            names.insert(nameOf(link, "issuer-name"));
        }
        for (const QString &name : std::as_const(names)) {
            const auto [first, last] = bySubject.equal_range(name);
            for (auto it = first; it != last; ++it) {
                if (Certificate anchor{
                        g_tls_certificate_new_from_pem(it->constData(), it->size(), nullptr) })
                    found.push_back(std::move(anchor));
            }
        }
        return found;
    }
};

struct SharedTrust
{
    GTlsDatabase parent;
    Anchors *anchors;
};

struct SharedTrustClass
{
    GTlsDatabaseClass parent;
};

gpointer parentClass = nullptr;

const Anchors &anchorsOf(GTlsDatabase *self)
{
    return *reinterpret_cast<SharedTrust *>(self)->anchors;
}

GTlsCertificateFlags verifyChain(GTlsDatabase *self, GTlsCertificate *chain, const gchar *,
                                 GSocketConnectable *identity, GTlsInteraction *,
                                 GTlsDatabaseVerifyFlags, GCancellable *cancellable, GError **error)
{
    if (g_cancellable_set_error_if_cancelled(cancellable, error))
        return G_TLS_CERTIFICATE_GENERIC_ERROR;
    auto result = G_TLS_CERTIFICATE_UNKNOWN_CA;
    for (const Certificate &anchor : anchorsOf(self).issuersOf(chain)) {
        result = g_tls_certificate_verify(chain, identity, anchor.get());
        if (result == 0)
            break;
    }
    return result;
}

GTlsCertificate *lookupIssuer(GTlsDatabase *self, GTlsCertificate *certificate, GTlsInteraction *,
                              GTlsDatabaseLookupFlags, GCancellable *, GError **)
{
    const auto range = anchorsOf(self).bySubject.equal_range(nameOf(certificate, "issuer-name"));
    for (auto it = range.first; it != range.second; ++it) {
        if (GTlsCertificate *issuer
            = g_tls_certificate_new_from_pem(it->constData(), it->size(), nullptr)) {
            return issuer;
        }
    }
    return nullptr;
}

// Handles and reverse lookups serve stored client certificates, which a stream never uses.
gchar *createHandle(GTlsDatabase *, GTlsCertificate *)
{
    return nullptr;
}

GTlsCertificate *lookupForHandle(GTlsDatabase *, const gchar *, GTlsInteraction *,
                                 GTlsDatabaseLookupFlags, GCancellable *, GError **)
{
    return nullptr;
}

GList *lookupIssuedBy(GTlsDatabase *, GByteArray *, GTlsInteraction *, GTlsDatabaseLookupFlags,
                      GCancellable *, GError **)
{
    return nullptr;
}

void finalize(GObject *object)
{
    delete reinterpret_cast<SharedTrust *>(object)->anchors;
    G_OBJECT_CLASS(parentClass)->finalize(object);
}

void classInit(gpointer klass, gpointer)
{
    parentClass = g_type_class_peek_parent(klass);
    G_OBJECT_CLASS(klass)->finalize = finalize;
    GTlsDatabaseClass *database = G_TLS_DATABASE_CLASS(klass);
    database->verify_chain = verifyChain;
    database->create_certificate_handle = createHandle;
    database->lookup_certificate_for_handle = lookupForHandle;
    database->lookup_certificate_issuer = lookupIssuer;
    database->lookup_certificates_issued_by = lookupIssuedBy;
}

GType sharedTrustType()
{
    static const GType type = g_type_register_static_simple(
        G_TYPE_TLS_DATABASE, "OndaluxStreamTrust", sizeof(SharedTrustClass), classInit,
        sizeof(SharedTrust), nullptr, GTypeFlags{});
    return type;
}

} // namespace

namespace StreamTrust {

GTlsDatabase *database()
{
    static QMutex mutex;
    static GTlsDatabase *shared = nullptr;
    static QByteArray madeFor;
    const QByteArray added = TlsTrust::additionalAuthoritiesPem();
    const QMutexLocker lock(&mutex);
    if (shared == nullptr || added != madeFor) {
        auto anchors = std::make_unique<Anchors>();
        QFile system(QString::fromLatin1(systemBundle));
        if (system.open(QIODevice::ReadOnly))
            anchors->add(system.readAll());
        else
            qCWarning(lcTrust) << "system authorities not readable:" << system.errorString();
        anchors->add(added);
        g_clear_object(&shared);
        shared = G_TLS_DATABASE(g_object_new(sharedTrustType(), nullptr));
        reinterpret_cast<SharedTrust *>(shared)->anchors = anchors.release();
        madeFor = added;
        // A new connection asks for the process's default database before it is given this
        // one, and the default parses every authority: this one is the default too.
        g_tls_backend_set_default_database(g_tls_backend_get_default(), shared);
    }
    return G_TLS_DATABASE(g_object_ref(shared));
}

} // namespace StreamTrust
