#include "tree/Node.h"

#include "tests/support/CaptureStdout.h"

#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

namespace {

using testutil::CaptureStdout;

TEST(Node, FreshNodeIsAnEmptyLeafAtLevelFive) {
    const Node node;
    EXPECT_TRUE(node.is_leaf());
    EXPECT_EQ(node.get_prob_level(), 5.0f);
    EXPECT_EQ(node.get_step(), 0);
    EXPECT_EQ(node.cluster_size(), 0);
}

TEST(Node, AddIndivTakesOneIndividualOnly) {
    Node node;
    CaptureStdout out;
    EXPECT_TRUE(node.add_indiv(7));
    EXPECT_EQ(out.text(), "");
    EXPECT_FALSE(node.add_indiv(9));
    EXPECT_EQ(out.text(), "This cluster is occupied !");
    EXPECT_EQ(*node.get_cluster(), Node::Cluster{7});
}

TEST(Node, ChildrenAndOtherIndices) {
    Node node;
    node.set_children(12, 3);
    EXPECT_EQ(node.get_child(1), 12);
    EXPECT_EQ(node.get_child(2), 3);
    EXPECT_EQ(node.get_child(0), -1);
    EXPECT_EQ(node.get_child(3), -1);
    EXPECT_FALSE(node.is_leaf());
}

TEST(Node, CopyClusterReplacesMembersAndIgnoresNull) {
    Node node;
    node.add_indiv(4);
    node.copy_cluster(nullptr);
    EXPECT_EQ(*node.get_cluster(), Node::Cluster{4});
    const Node::Cluster src{2, 5, 9};
    node.copy_cluster(&src);
    EXPECT_EQ(*node.get_cluster(), src);
    EXPECT_EQ(node.cluster_size(), 3);
}

}  // namespace
