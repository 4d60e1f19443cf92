// The membership chart: how its bars are stacked and drawn, what it exports and what the pointer tells.

#include "charts/MembershipView.h"
#include "charts/Palette.h"
#include "tests/app/support/TestClasses.h"

#include <set>
#include <sstream>

#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

/// Individuals 1 and 2 in cluster 1, 3 in cluster 2; segments (cluster 1, cluster 2) of (0.75, 0.25),
/// (1, 0) and (0.5, 0.5).
std::shared_ptr<const Membership> three() {
    auto m = std::make_shared<Membership>();
    m->cluster = {1, 1, 2};
    m->clusters = 2;
    m->share = {0.75, 0.25, 1.0, 0.0, 0.5, 0.5};
    return m;
}

QImage drawn(const MembershipPicture& picture, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    draw_membership(painter, QRectF(QPointF(0, 0), QSizeF(size)), picture);
    return image;
}

/// The colour drawn at the fraction `down` (0 top, 1 bottom) of the bar at position p of n.
QColor at_bar(const QImage& image, const MembershipLayout& l, std::int32_t p, std::int32_t n, double down) {
    const double x = l.bars.left() + (p + 0.5) * l.bars.width() / n;
    const double y = l.bars.top() + down * l.bars.height();
    return image.pixelColor(static_cast<int>(x), static_cast<int>(y));
}

}  // namespace

class MembershipTest : public QObject {
    Q_OBJECT

  private slots:
    void segmentsStackInTheClusterOrderFromTheTop() {
        const MembershipPicture picture{three(), {2, 1, 3}, {2, 1}, {}, {}, QStringLiteral("t")};
        const QSize size(600, 400);
        const QImage image = drawn(picture, size);
        const MembershipLayout l = membership_layout(QRectF(QPointF(0, 0), QSizeF(size)), false);
        QVERIFY(!membership_as_image(3, l.bars));
        const QColor one = cluster_colour(1);
        const QColor two = cluster_colour(2);
        const struct {
            std::int32_t position;
            double down;
            QColor colour;
        } cases[] = {
            {0, 0.05, one}, {0, 0.95, one},                  // individual 2: all cluster 1
            {1, 0.20, two}, {1, 0.30, one}, {1, 0.95, one},  // individual 1: a quarter of cluster 2 on top
            {2, 0.45, two}, {2, 0.55, one},                  // individual 3: half and half
        };
        for (const auto& c : cases)
            QVERIFY2(at_bar(image, l, c.position, 3, c.down) == c.colour,
                     qPrintable(QStringLiteral("bar %1 at %2").arg(c.position).arg(c.down)));
        // The strip under the bars gives each individual's own cluster.
        QCOMPARE(image.pixelColor(static_cast<int>(l.strip.left() + 2.5 * l.strip.width() / 3),
                                  static_cast<int>(l.strip.center().y())),
                 two);
    }

    void barsNarrowerThanAPixelAreDrawnAsColumnMeans() {
        const std::int32_t n = 3000;
        auto m = std::make_shared<Membership>();
        m->clusters = 2;
        for (std::int32_t i = 1; i <= n; ++i) {
            const bool first = i <= n / 2;
            m->cluster.push_back(first ? 1 : 2);
            // The first half wholly in cluster 1; the second split 0.3 / 0.7.
            m->share.push_back(first ? 1.0 : 0.3);
            m->share.push_back(first ? 0.0 : 0.7);
        }
        const QSize size(900, 500);
        const MembershipLayout l = membership_layout(QRectF(QPointF(0, 0), QSizeF(size)), false);
        QVERIFY(membership_as_image(n, l.bars));
        QVERIFY(!membership_as_image(static_cast<std::int32_t>(l.bars.width()), l.bars));
        const QImage image = drawn(MembershipPicture{m, {}, {}, {}, {}, QString()}, size);
        QCOMPARE(at_bar(image, l, n / 4, n, 0.5), cluster_colour(1));
        QCOMPARE(at_bar(image, l, 3 * n / 4, n, 0.2), cluster_colour(1));
        QCOMPARE(at_bar(image, l, 3 * n / 4, n, 0.5), cluster_colour(2));
    }

    void exportWritesTheBarsAndClustersInTheOrderDrawn() {
        const MembershipPicture picture{three(), {2, 1, 3}, {2, 1}, {QStringLiteral("a"), QStringLiteral("b c")},
                                        {},      QString()};
        std::ostringstream text;
        TableWriter table(text, '\t');
        membership_picture(picture)->write_data(table);
        QCOMPARE(text.str(), std::string("individual\tname\tcluster\tcluster_2\tcluster_1\n"
                                         "2\tb c\t1\t0\t1\n"
                                         "1\ta\t1\t0.25\t0.75\n"
                                         "3\t3\t2\t0.5\t0.5\n"));
        // Without orders: individuals and clusters ascending.
        std::ostringstream plain;
        TableWriter plain_table(plain, ',');
        write_membership_bars(plain_table, MembershipPicture{three(), {}, {}, {}, {}, QString()});
        QCOMPARE(plain.str(), std::string("individual,name,cluster,cluster_1,cluster_2\n1,1,1,0.75,0.25\n"
                                          "2,2,1,1,0\n3,3,2,0.5,0.5\n"));
    }

    void twelveClustersAreToldApartThenColoursRepeat() {
        std::set<QRgb> seen;
        for (std::int32_t c = 1; c <= distinct_cluster_colours; ++c) seen.insert(cluster_colour(c).rgb());
        QCOMPARE(seen.size(), std::size_t(distinct_cluster_colours));
        QVERIFY(!seen.contains(cluster_colour(0).rgb()));
        QCOMPARE(cluster_colour(distinct_cluster_colours + 1), cluster_colour(1));
    }

    void pointerTellsTheIndividualItsGroupAndItsSegments() {
        MembershipView view;
        view.resize(600, 400);
        view.set_picture(MembershipPicture{three(), {2, 1, 3}, {2, 1}, {}, {}, QString()});
        view.set_names({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
                       {QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("y")});
        const MembershipLayout l = membership_layout(QRectF(view.rect()), true);
        const auto bar = [&](double p, double y) { return QPointF(l.bars.left() + p * l.bars.width() / 3, y); };
        QCOMPARE(view.hover_text(bar(1.5, l.bars.center().y())),
                 QStringLiteral("a (individual 1), cluster 1, group x\ncluster 2: 0.250\ncluster 1: 0.750"));
        // The band of groups under the bars tells the same; outside the bars, nothing.
        QVERIFY(view.hover_text(bar(2.5, l.band.center().y()))
                    .startsWith(QStringLiteral("c (individual 3), cluster 2, group y")));
        QCOMPARE(view.hover_text(QPointF(l.bars.left() - 5, l.bars.center().y())), QString());
        QCOMPARE(view.hover_text(QPointF(l.bars.center().x(), l.title.center().y())), QString());
        view.clear();
        QVERIFY(!view.has_membership());
        QCOMPARE(view.hover_text(bar(1.5, l.bars.center().y())), QString());
    }
};

VELMORA_TEST_CLASS(MembershipTest);

#include "Membership_test.moc"
