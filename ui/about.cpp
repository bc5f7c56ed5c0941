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
    ArtLabel1 = new TArtLabel("Sonivel", panel);
    ArtLabel1->setObjectName("ArtLabel1");
    QFont big("Arial");
    big.setBold(true);
    big.setPixelSize(32);
    ArtLabel1->setFont(big);
    grid->addWidget(ArtLabel1, 0, 1, Qt::AlignHCenter);
    ArtLabel2 = new TArtLabel("Version 2.0", panel);
    ArtLabel2->setObjectName("ArtLabel2");
    QFont small("Times New Roman");
    small.setBold(true);
    small.setPixelSize(16);
    ArtLabel2->setFont(small);
    grid->addWidget(ArtLabel2, 1, 1, Qt::AlignHCenter);
    Notice = new QLabel("Free to use, copy and give away.", panel);
    Notice->setObjectName("Notice");
    grid->addWidget(Notice, 2, 1, Qt::AlignHCenter);

    PageControl1 = new QStackedWidget(panel);
    PageControl1->setObjectName("PageControl1");
    auto page = [&](QWidget*& sheet, const char* name) {
        sheet = new QWidget(PageControl1);
        sheet->setObjectName(name);
        PageControl1->addWidget(sheet);
        return new QGridLayout(sheet);
    };
    auto wrapped = [](const QString& text, QWidget* owner) {
        auto* l = new QLabel(text, owner);
        l->setWordWrap(true);
        return l;
    };
    QGridLayout* en = page(TabSheet1, "TabSheet1");
    en->addWidget(new QLabel("E-Mail:", TabSheet1), 0, 0);
    EMail = new LinkLabel("sonivel@example.org", TabSheet1);
    EMail->setObjectName("EMail");
    en->addWidget(EMail, 0, 1);
    en->addWidget(new QLabel("Home page:", TabSheet1), 1, 0);
    Homepage = new LinkLabel("https://www.example.org/sonivel/", TabSheet1);
    Homepage->setObjectName("Homepage");
    en->addWidget(Homepage, 1, 1);
    en->addWidget(wrapped("Sample wave files are available at my home page.", TabSheet1), 2, 0, 1, 2);
    en->addWidget(wrapped("Bug reports, questions, comments and suggestions are welcome.", TabSheet1), 3, 0, 1, 2);
    en->addWidget(wrapped("Thanks to everyone who kept their old recordings and sent them in: "
                          "they made every part of this program better.", TabSheet1), 4, 0, 1, 2);
    QGridLayout* fr = page(TabSheet2, "TabSheet2");
    // French sets a space (here one that does not break) before a colon.
    fr->addWidget(new QLabel(QString::fromUtf8("Courriel\u00a0:"), TabSheet2), 0, 0);
    Label6 = new LinkLabel("sonivel@example.org", TabSheet2);
    Label6->setObjectName("Label6");
    fr->addWidget(Label6, 0, 1);
    fr->addWidget(new QLabel(QString::fromUtf8("Page web\u00a0:"), TabSheet2), 1, 0);
    Label8 = new LinkLabel("https://www.example.org/sonivel/fr/", TabSheet2);
    Label8->setObjectName("Label8");
    fr->addWidget(Label8, 1, 1);
    fr->addWidget(wrapped(QString::fromUtf8("Des fichiers WAV d'exemple sont disponibles sur ma page web."),
                          TabSheet2), 2, 0, 1, 2);
    fr->addWidget(wrapped(QString::fromUtf8("Signalements d'anomalies, questions, remarques et suggestions sont les "
                                            "bienvenus."),
                          TabSheet2), 3, 0, 1, 2);
    fr->addWidget(wrapped(QString::fromUtf8("Merci à tous ceux qui ont gardé leurs vieux enregistrements et "
                                            "nous les ont envoyés\u00a0: chaque partie de ce programme en est "
                                            "meilleure."),
                          TabSheet2), 4, 0, 1, 2);
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
