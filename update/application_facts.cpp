#include "update/application_facts.h"

#include <mutex>

namespace pelion {

namespace {

// Written by a worker, read by the next one and cleared by the front end between runs.
std::mutex factsMutex;
ApplicationFacts facts;

}  // namespace

void rememberApplicationFacts(const ApplicationFacts& read) {
    std::lock_guard lock(factsMutex);
    facts = read;
}

ApplicationFacts rememberedApplicationFacts() {
    std::lock_guard lock(factsMutex);
    return facts;
}

void forgetApplicationFacts() {
    rememberApplicationFacts({});
}

}  // namespace pelion
