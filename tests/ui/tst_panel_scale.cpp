// The main window made larger for reading across a room: the four values
// grow with it and stay inside it, and F11 shows it full screen.
#include "support/PanelFixture.h"

#include <QLabel>

namespace {
struct ValueLook {
    QList<int> points;
    QList<QRect> places;
    bool operator==(const ValueLook &) const = default;
};

QList<QLabel *> values(Panel &p)
{
    return {p.LblTemperature, p.LblRH, p.LblDew, p.LblWet};
}

ValueLook look(Panel &p)
{
    ValueLook v;
    for (QLabel *l : values(p)) {
        v.points << l->font().pointSize();
        v.places << QRect(l->mapTo(&p, QPoint(0, 0)), l->size());
    }
    return v;
}

// Every value, with its whole text, inside the window.
bool insideWindow(Panel &p)
{
    for (QLabel *l : values(p)) {
        const QRect r(l->mapTo(&p, QPoint(0, 0)), l->size());
        if (!p.rect().contains(r) || QFontMetrics(l->font()).horizontalAdvance(l->text()) > l->width())
            return false;
    }
    return true;
}
} // namespace

class TestPanelScale : public QObject {
    Q_OBJECT
private slots:
    void valuesGrowWithTheWindow()
    {
        PanelFixture f;
        QVERIFY(f.start());
        Panel &p = *f.panel;
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        QCOMPARE(p.size(), Panel::kDesignSize);
        const ValueLook design = look(p);
        QCOMPARE(design.points, (QList<int>{60, 30, 30, 30}));
        QCOMPARE(p.valueScale(), 1.0);
        QVERIFY(insideWindow(p));

        // Twice the size: larger values, all inside, and a new frame keeps them large.
        p.resize(Panel::kDesignSize * 2);
        QTRY_VERIFY_WITH_TIMEOUT(p.LblTemperature->font().pointSize() > 90, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(insideWindow(p), 10000);
        for (QLabel *l : values(p).mid(1))
            QVERIFY(l->font().pointSize() > 45);
        const quint64 frames = p.framesDecoded();
        QTRY_VERIFY_WITH_TIMEOUT(p.framesDecoded() > frames + 2, 10000);
        QVERIFY(p.LblTemperature->font().pointSize() > 90);
        snapshot(&p, QStringLiteral("panel-large"));

        // Wider only: the height leaves no room, so nothing grows.
        p.resize(Panel::kDesignSize.width() * 2, Panel::kDesignSize.height());
        QTRY_COMPARE_WITH_TIMEOUT(look(p).points, design.points, 10000);
        QVERIFY(insideWindow(p));

        // Back at the design size everything is where it was.
        p.resize(Panel::kDesignSize);
        QTRY_COMPARE_WITH_TIMEOUT(look(p), design, 10000);

        // F11 and back.
        QTest::keyClick(&p, Qt::Key_F11);
        QTRY_VERIFY_WITH_TIMEOUT(p.isFullScreen(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(insideWindow(p), 10000);
        QTest::keyClick(&p, Qt::Key_F11);
        QTRY_VERIFY_WITH_TIMEOUT(!p.isFullScreen(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(look(p), design, 10000);
    }
};

QTEST_MAIN(TestPanelScale)
#include "tst_panel_scale.moc"
