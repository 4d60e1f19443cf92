#include "pages/MembershipPage.h"

#include "session/Session.h"

#include <QLabel>

MembershipPage::MembershipPage(Session& session, QWidget* parent) : Page(parent) {
    setObjectName(QStringLiteral("TabSheetMembership"));
    source_ = add_wrapped_label("membership_source", QString(), {8, 4, 890, 30}, {0, 0, 1, 0});
    view_ = new MembershipView(this);
    anchors()->add(view_, {4, 38, 908, 627}, {0, 0, 1, 1});
    connect(view_, &MembershipView::export_requested, this, &Page::export_requested);
    connect(view_, &MembershipView::export_data_requested, this, &Page::export_data_requested);
    const QString before =
        tr("Make an estimate on the Estimate page: this chart shows how much each individual "
           "belongs to each of its clusters.");
    clear_membership(before);

    connect(&session, &Session::membership_made, this, &MembershipPage::show_membership);
    connect(&session, &Session::tree_forgotten, this, [this, before] { clear_membership(before); });
    connect(&session, &Session::names_changed, this, &MembershipPage::set_names);
    connect(&session, &Session::groups_changed, this, &MembershipPage::set_groups);
}

Exportable* MembershipPage::current_picture() const { return view_->has_membership() ? view_ : nullptr; }

void MembershipPage::show_membership(const MembershipData& data) {
    source_->setText(data.source);
    names_ = data.names;
    groups_ = data.groups;
    view_->set_picture(
        MembershipPicture{data.membership, data.order, data.cluster_order, names_, groups_, membership_title()});
}

void MembershipPage::clear_membership(const QString& why) {
    source_->setText(why);
    view_->clear();
    view_->set_names(names_, groups_);
}

void MembershipPage::set_names(const QStringList& names) {
    names_ = names;
    view_->set_names(names_, groups_);
}

void MembershipPage::set_groups(const QStringList& groups) {
    groups_ = groups;
    view_->set_names(names_, groups_);
}
