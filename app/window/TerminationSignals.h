#pragma once

#include "platform/UniqueFd.h"

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGTERM and SIGINT into a Qt signal on the main thread. The handler only
// writes a byte into a pipe; everything else happens in the event loop.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    TerminationSignals();
    ~TerminationSignals() override;

signals:
    void Received();

private:
    UniqueFd m_ReadEnd;
    std::unique_ptr<QSocketNotifier> m_Notifier;
};
