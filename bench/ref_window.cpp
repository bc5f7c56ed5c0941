// The reference for start-up time: a plain Qt Widgets window with menus,
// buttons, labels and a slider like the main window's, and nothing else.
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    for (const char* title : {"&File", "&Output format", "O&ptions", "&Help"}) {
        QMenu* menu = window.menuBar()->addMenu(title);
        for (int i = 0; i < 6; ++i) menu->addAction(QString("Item %1").arg(i));
    }
    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    auto* buttons = new QHBoxLayout;
    for (const char* caption : {"Play", "Previous", "Next", "Playlist"}) buttons->addWidget(new QPushButton(caption));
    column->addLayout(buttons);
    column->addWidget(new QSlider(Qt::Horizontal));
    column->addWidget(new QLabel("Time: 0:00:00.0"));
    column->addWidget(new QLabel("Writing to disk..."));
    window.setCentralWidget(central);
    window.setWindowTitle("Reference");
    window.show();
    return QApplication::exec();
}
