// The message box and the seam through which tests answer it.
#include "platform/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

TEST(MessageBox, HandlerReceivesCaptionAndTextInsteadOfABox) {
    QStringList seen;
    SetMessageBoxHandler([&](const QString& caption, const QString& text) { seen << caption << text; });
    ShowMessageBox(QStringLiteral("Database is busy"));
    SetMessageBoxHandler(nullptr);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Message"), QStringLiteral("Database is busy")}));
}

TEST(MessageBox, RealBoxIsModalWithoutOwnerAndOneOkButton) {
    QString caption;
    QString text;
    int buttons = -1;
    bool modal = false;
    bool hasParent = true;
    // Answer the box from inside its own modal loop.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        modal = box->isModal();
        hasParent = box->parentWidget() != nullptr;
        box->button(QMessageBox::Ok)->click();
    });
    ShowMessageBox(QStringLiteral("Hello"));
    EXPECT_EQ(caption, QStringLiteral("Message"));
    EXPECT_EQ(text, QStringLiteral("Hello"));
    EXPECT_EQ(buttons, 1);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(hasParent);
}

TEST(MessageBox, LaterBoxWaitsForTheMessageLoop) {
    QStringList seen;
    SetMessageBoxHandler([&](const QString&, const QString& text) { seen << text; });
    ShowMessageBoxLater(QStringLiteral("The database is damaged"));
    EXPECT_TRUE(seen.isEmpty());
    QCoreApplication::processEvents();
    SetMessageBoxHandler(nullptr);
    EXPECT_EQ(seen, QStringList{QStringLiteral("The database is damaged")});
}
