// TAboutBox: the product, its version, how to reach its makers, in English
// or French by the interface language.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>
#include <functional>

namespace sonivel {

class TArtLabel;

// A label that acts as a link: blue and underlined, red once clicked.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QWidget* parent);
    bool Clicked() const { return clicked_; }
    void Click();

signals:
    void activated();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Style();
    bool clicked_ = false;
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // `open` asks the desktop to open an address; the tests record it.
    explicit TAboutBox(QWidget* parent = nullptr, std::function<void(const QUrl&)> open = {});

    static constexpr const char* kMail = "mailto:sonivel@example.org";

    TArtLabel* ArtLabel1 = nullptr;
    TArtLabel* ArtLabel2 = nullptr;
    QStackedWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    LinkLabel* EMail = nullptr;
    LinkLabel* Homepage = nullptr;
    LinkLabel* Label6 = nullptr;
    LinkLabel* Label8 = nullptr;
    QLabel* Notice = nullptr;  // the terms of use, in the box's language
    QPushButton* OKButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildPages();
    std::function<void(const QUrl&)> open_;
};

}  // namespace sonivel
