#include "tree/Node.h"

#include <iostream>

bool Node::add_indiv(std::int32_t indiv) {
    if (!cluster_.empty()) {
        std::cout << "This cluster is occupied !" << std::flush;
        return false;
    }
    cluster_.push_back(static_cast<std::int16_t>(indiv));
    return true;
}

void Node::copy_cluster(const Cluster* src) {
    if (src) cluster_ = *src;
}
