#pragma once

#include "ui/DeferredPixmap.h"

#include <QDialog>
#include <QPixmap>
#include <QStringList>

class QLineEdit;
class QPushButton;

// The phrase editor (View > "Phrase List"): nine boxes for the texts of the
// nine phrase buttons. It does not block the main window. "Done" hands the
// nine texts over through phrasesDone and closes; closing it any other way
// hands over nothing.
class Tphrases : public QDialog {
    Q_OBJECT
public:
    static constexpr int phraseCount = 9;
    static constexpr int maxPhraseLength = 50;
    static constexpr int clientWidth = 368;
    static constexpr int clientHeight = 265;
    // $008AB3BF as red, green, blue.
    static constexpr QRgb backgroundColour = 0xBFB38A;

    // The background picture, usually the main window's, is drawn over the
    // background colour from the top-left corner.
    explicit Tphrases(QWidget* parent = nullptr, const DeferredPixmap& background = {});

    void setBackground(const DeferredPixmap& picture);

    using QDialog::open;
    // Fills box n with the phrase n (missing ones empty) and shows the window
    // centred on its parent, or on the screen without one.
    void open(const QStringList& currentPhrases);

    // The texts of the nine boxes, box 1 first.
    QStringList phrases() const;
    // Box n, n = 1 to 9 (`phrase1` to `phrase9`).
    QLineEdit* phraseBox(int n) const;
    QPushButton* doneButton() const { return m_done; }

signals:
    void phrasesDone(const QStringList& phrases);

public slots:
    void button_doneClick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void centre();

    DeferredPixmap m_background;
    QList<QLineEdit*> m_boxes;
    QPushButton* m_done = nullptr;
};
