#include "update/application_facts.h"

namespace pelion {

void ApplicationFactsMemory::remember(const ApplicationFacts& facts) {
    std::lock_guard lock(mutex_);
    facts_ = facts;
}

ApplicationFacts ApplicationFactsMemory::remembered() const {
    std::lock_guard lock(mutex_);
    return facts_;
}

void ApplicationFactsMemory::forget() {
    remember({});
}

}  // namespace pelion
