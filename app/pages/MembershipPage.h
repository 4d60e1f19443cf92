#pragma once

#include "charts/MembershipView.h"
#include "pages/Page.h"

class QLabel;
class Session;
struct MembershipData;

/// The "Membership" page: the membership chart of the last estimate (one bar per individual, its
/// membership in each estimated cluster), with the names file's groups under the bars when it has them,
/// and a line saying which estimate it shows or what it needs.
class MembershipPage : public Page {
    Q_OBJECT

  public:
    explicit MembershipPage(Session& session, QWidget* parent = nullptr);

    QList<ChartView*> charts() const override { return {}; }
    Exportable* current_picture() const override;
    MembershipView* view() const { return view_; }

    void show_membership(const MembershipData& data);
    /// No chart: `why`.
    void clear_membership(const QString& why);
    void set_names(const QStringList& names);
    void set_groups(const QStringList& groups);

  private:
    MembershipView* view_;
    QLabel* source_;
    QStringList names_;
    QStringList groups_;
};
