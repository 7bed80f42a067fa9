#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>

class QSocketNotifier;

// One accepted TCP connection of zorsrv, on a non-blocking descriptor, with
// bounded buffers both ways. Unlike QTcpSocket it keeps the connection when
// the client shuts down only its sending side: every request received before
// that is still answered.
class PeerSocket : public QObject
{
    Q_OBJECT

public:
    // Takes over the connected descriptor. At most readBufferSize received
    // bytes are held; beyond that the client's bytes wait in the system. A
    // close waits at most closeGraceMs for the queued bytes to go out.
    PeerSocket(qintptr descriptor, qint64 readBufferSize, int closeGraceMs,
               QObject* parent = nullptr);
    ~PeerSocket() override;
    PeerSocket(const PeerSocket&) = delete;
    PeerSocket& operator=(const PeerSocket&) = delete;

    QHostAddress peerAddress() const { return m_peerAddress; }
    quint16 peerPort() const { return m_peerPort; }
    bool isOpen() const { return m_descriptor >= 0; }

    qint64 bytesAvailable() const { return m_in.size(); }
    // Polls the connection for at most waitNs nanoseconds without sleeping
    // and reads what comes; true when new bytes came.
    bool pollBriefly(qint64 waitNs);
    QByteArray readAll();
    // The client has sent its last byte and every byte has been read.
    bool atEnd() const { return m_readClosed && m_in.isEmpty(); }

    // Hands the bytes to the system at once and queues what it does not take.
    void write(QByteArrayView bytes);
    qint64 bytesToWrite() const { return m_out.size() - m_outSent; }

    // Closes once the queued bytes are out, at once when none are, and after
    // the grace time when the client does not read them.
    void disconnectFromHost();
    // Closes at once; queued bytes are dropped.
    void abort() { closeNow(); }

Q_SIGNALS:
    void readyRead(); // new bytes, or the end of the client's bytes
    void bytesWritten();
    void disconnected(); // once, after the connection is closed; always queued

private:
    void readable();
    void writable();
    bool sendQueued();
    void closeNow();

    int m_descriptor = -1;
    qint64 m_readBufferSize;
    int m_closeGraceMs;
    QHostAddress m_peerAddress;
    quint16 m_peerPort = 0;
    QByteArray m_in;
    QByteArray m_out;
    qsizetype m_outSent = 0; // bytes at the start of m_out already sent
    bool m_readClosed = false;
    bool m_closing = false;
    QSocketNotifier* m_reader = nullptr;
    QSocketNotifier* m_writer = nullptr;
};
