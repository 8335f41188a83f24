#include "mainwindow.h"

#include <QCoreApplication>
#include <QIcon>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(QCoreApplication::applicationName() + QLatin1Char(' ') +
                   QCoreApplication::applicationVersion());
    setWindowIcon(QIcon(QStringLiteral(":/tovalumen.svg")));
    resize(799, 783);
}

MainWindow::~MainWindow() = default;
