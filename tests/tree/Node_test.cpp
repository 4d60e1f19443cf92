#include "tree/Node.h"

#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

namespace {

/// Captures what is written to standard output while it lives.
class CaptureStdout {
  public:
    CaptureStdout() : old_(std::cout.rdbuf(buffer_.rdbuf())) {}
    ~CaptureStdout() { std::cout.rdbuf(old_); }
    std::string text() const { return buffer_.str(); }

  private:
    std::ostringstream buffer_;
    std::streambuf* old_;
};

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
