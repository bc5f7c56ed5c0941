// TDropFile: makes a window accept files dragged from the desktop and reports
// each dropped file, split into its full path, name and extension.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace sonivel {

class TDropFile : public QObject {
    Q_OBJECT
public:
    // Drops go to `owner` until a DropTarget is set.
    explicit TDropFile(QWidget* owner);
    ~TDropFile() override;

    bool EnableDrop() const { return enabled_; }
    void SetEnabled(bool enabled);
    QWidget* DropTarget() const { return target_; }
    void SetDropTarget(QWidget* target);

    // The name and extension parts of a path: the name follows the last
    // separator (empty when there is none), the extension the name's last
    // dot (empty when there is none).
    static QString FileNameOf(const QString& fileWithPath);
    static QString ExtensionOf(const QString& fileName);

signals:
    // Once per dropped file, in the order the desktop delivered them.
    void DropFile(const QString& fileWithPath, const QString& fileName, const QString& extension);
    // Once per drop, after the DropFile signals: every file of it, in order.
    void FilesDropped(const QStringList& filesWithPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitControl();
    void DestroyControl();
    QList<QWidget*> Receivers() const;

    QPointer<QWidget> owner_;
    QPointer<QWidget> target_;
    bool enabled_ = true;
};

}  // namespace sonivel
