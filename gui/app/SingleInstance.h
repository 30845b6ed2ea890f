#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace vantrel::gui {

/// One running copy per user: the first copy holds a lock file and listens
/// on a local socket, both in the user's runtime folder; a later copy finds
/// the lock taken, asks the first to show itself and ends. A lock left by a
/// copy that died is taken over, and its stale socket removed.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    /// `name` distinguishes programs; the user's id is added to it.
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// True when this is the first copy (it now listens); false when another
    /// copy runs, which has been asked to show itself (or could not be
    /// reached within a few seconds).
    bool claim();

    /// The runtime folder and the socket's full path, for tests.
    [[nodiscard]] QString socketPath() const { return socketPath_; }

signals:
    /// Another copy started and asked this one to show itself.
    void activationRequested();

private:
    void listen();
    void accept();

    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

} // namespace vantrel::gui
