// The channel's frame decoder and handshake, fed what a peer might send: before
// authentication (KAV_FUZZ_AUTHENTICATED unset) or after it. The input is cut into reads of
// varying size, as a socket delivers them.

#include "fuzzcommon.h"
#include "kavworkconnection.h"
#include "kavworkconnection_p.h"

#include <QtCore/QJsonObject>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

class Connection : public KAVWorkConnection {
public:
    Connection() : KAVWorkConnection(nullptr, nullptr) { }
    using KAVWorkConnection::SendCommand;

protected:
    bool ReceiveCommand(const QByteArray &command, const QJsonValue &data) override
    {
        // Payloads are looked at the way receivers do.
        if (command == "client")
            return data.toObject().value(QLatin1String("pid")).toInteger() >= 0;
        return command == "execute" || command == "actionupdate";
    }
    QByteArray GetAuthenticationKey() const override { return "fuzz key"; }
    QByteArray GetPeerAuthenticationKey() const override { return "fuzz peer key"; }
};

} // namespace

KAV_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    Connection connection;
    KAVWorkConnectionPrivate *d = KAVWorkConnectionPrivate::get(&connection);
    // As after Authenticate() on a connected socket.
    d->started = true;
    d->ownNonce = QByteArray(32, '\x5a');
#ifdef KAV_FUZZ_AUTHENTICATED
    d->proofSent = d->peerVerified = d->peerAccepted = d->authenticated = true;
    d->peerNonce = QByteArray(32, '\xa5');
#else
    d->proofAfterPeer = input.ConsumeBool();
#endif
    while (input.remaining_bytes() > 0 && !d->broken) {
        const std::string chunk = input.ConsumeRandomLengthString(4096);
        d->Receive(QByteArray(chunk.data(), qsizetype(chunk.size())));
        d->DispatchIncoming();
    }
    // Whatever state the input left, sending must still behave.
    connection.SendCommand("actionupdate", QJsonObject {{QStringLiteral("n"), 1}});
    return 0;
}
