#include "about.h"

#include <QAccessibleWidget>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "artlabel.h"
#include "desktop_icon.h"
#include "services.h"
#include "shell.h"
#include "texts.h"

namespace sonivel {

namespace {

// What a screen reader sees of a link label: a link that can be pressed.
class LinkAccessible final : public QAccessibleWidget {
public:
    explicit LinkAccessible(LinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) static_cast<LinkLabel*>(widget())->Click();
    }
};

QAccessibleInterface* LinkAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(LinkLabel::staticMetaObject.className()) && object && object->isWidgetType())
        return new LinkAccessible(static_cast<LinkLabel*>(object));
    return nullptr;
}

}  // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(LinkAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(text);
    Style();
}

void LinkLabel::Style() {
    setStyleSheet(QString("color: %1; text-decoration: underline;").arg(clicked_ ? "red" : "blue"));
}

void LinkLabel::Click() {
    // Once clicked, a link stays red for the rest of the run.
    clicked_ = true;
    Style();
    emit activated();
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Click();
    QLabel::mousePressEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    // Space follows a focused link; Enter stays with the default OK button.
    if (event->key() == Qt::Key_Space) Click();
    else QLabel::keyPressEvent(event);
}

namespace {

// A page of the language tabs, and its grid.
QGridLayout* AddPage(QStackedWidget* pages, QWidget*& sheet, const char* name) {
    sheet = new QWidget(pages);
    sheet->setObjectName(name);
    pages->addWidget(sheet);
    return new QGridLayout(sheet);
}

QLabel* Wrapped(const QString& text, QWidget* owner) {
    auto* l = new QLabel(text, owner);
    l->setWordWrap(true);
    return l;
}

// A page's two links and three lines, under their captions.
struct PageTexts {
    QString mailCaption, homeCaption, home;
    QString lines[3];
};

void FillPage(QGridLayout* grid, QWidget* sheet, const PageTexts& texts, LinkLabel*& mail, const char* mailName,
              LinkLabel*& home, const char* homeName) {
    grid->addWidget(new QLabel(texts.mailCaption, sheet), 0, 0);
    mail = new LinkLabel("sonivel@example.org", sheet);
    mail->setObjectName(mailName);
    grid->addWidget(mail, 0, 1);
    grid->addWidget(new QLabel(texts.homeCaption, sheet), 1, 0);
    home = new LinkLabel(texts.home, sheet);
    home->setObjectName(homeName);
    grid->addWidget(home, 1, 1);
    for (int i = 0; i < 3; ++i) grid->addWidget(Wrapped(texts.lines[i], sheet), 2 + i, 0, 1, 2);
}

TArtLabel* ArtLine(const QString& text, const char* name, const char* family, int pixels, QWidget* owner) {
    auto* label = new TArtLabel(text, owner);
    label->setObjectName(name);
    QFont font(family);
    font.setBold(true);
    font.setPixelSize(pixels);
    label->setFont(font);
    return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent, std::function<void(const QUrl&)> open)
    : QDialog(parent), open_(std::move(open)) {
    setObjectName("AboutBox");
    if (!open_) open_ = [](const QUrl& url) { OpenWithDesktop(url); };
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* column = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* grid = new QGridLayout(panel);
    auto* icon = new QLabel(panel);
    icon->setObjectName("ProgramIcon");
    icon->setPixmap(DrawProgramIcon(32));
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    ArtLabel1 = ArtLine("Sonivel", "ArtLabel1", "Arial", 32, panel);
    grid->addWidget(ArtLabel1, 0, 1, Qt::AlignHCenter);
    ArtLabel2 = ArtLine("Version 2.0", "ArtLabel2", "Times New Roman", 16, panel);
    grid->addWidget(ArtLabel2, 1, 1, Qt::AlignHCenter);
    Notice = new QLabel("Free to use, copy and give away.", panel);
    Notice->setObjectName("Notice");
    grid->addWidget(Notice, 2, 1, Qt::AlignHCenter);
    PageControl1 = new QStackedWidget(panel);
    PageControl1->setObjectName("PageControl1");
    BuildPages();
    grid->addWidget(PageControl1, 3, 0, 1, 2);
    column->addWidget(panel);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    column->addWidget(OKButton, 0, Qt::AlignHCenter);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    // The mail links open the one stored address, whatever they show.
    for (LinkLabel* mail : {EMail, Label6})
        connect(mail, &LinkLabel::activated, this, [this] { open_(QUrl(kMail)); });
    for (LinkLabel* home : {Homepage, Label8})
        connect(home, &LinkLabel::activated, this, [this, home] { open_(QUrl(home->text())); });
}

// The English page and the French one, each in its own language.
void TAboutBox::BuildPages() {
    FillPage(AddPage(PageControl1, TabSheet1, "TabSheet1"), TabSheet1,
             {"E-Mail:", "Home page:", "https://www.example.org/sonivel/",
              {"Sample wave files are available at my home page.",
               "Bug reports, questions, comments and suggestions are welcome.",
               "Thanks to everyone who kept their old recordings and sent them in: "
               "they made every part of this program better."}},
             EMail, "EMail", Homepage, "Homepage");
    // French sets a space (here one that does not break) before a colon.
    FillPage(AddPage(PageControl1, TabSheet2, "TabSheet2"), TabSheet2,
             {QString::fromUtf8("Courriel\u00a0:"), QString::fromUtf8("Page web\u00a0:"),
              "https://www.example.org/sonivel/fr/",
              {QString::fromUtf8("Des fichiers WAV d'exemple sont disponibles sur ma page web."),
               QString::fromUtf8("Signalements d'anomalies, questions, remarques et suggestions sont les "
                                 "bienvenus."),
               QString::fromUtf8("Merci à tous ceux qui ont gardé leurs vieux enregistrements et "
                                 "nous les ont envoyés\u00a0: chaque partie de ce programme en est "
                                 "meilleure.")}},
             Label6, "Label6", Label8, "Label8");
}

void TAboutBox::showEvent(QShowEvent* event) {
    const bool french = CurrentLanguage().load() == kFrench;
    setWindowTitle(Q(Text(kTextAboutCaption)));
    // Each language has its page; the one shown first is the current one's.
    PageControl1->setCurrentWidget(french ? TabSheet2 : TabSheet1);
    Notice->setText(Q(Text(kTextAboutNotice)));
    QDialog::showEvent(event);
    OKButton->setFocus();
}

}  // namespace sonivel
