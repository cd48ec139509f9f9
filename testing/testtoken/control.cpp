#include "testtoken/testtokencontrol.h"

#include "functiontable.h"
#include "tokenlibrary.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace testtoken {

namespace {

Slot& existingSlot(LibraryState& state, CK_SLOT_ID id) {
    Slot* const slot = state.findSlot(id);
    if (slot == nullptr) {
        throw std::invalid_argument("no slot " + std::to_string(id));
    }
    return *slot;
}

const std::string& functionName(const std::string& name) {
    if (!FunctionTable::isFunction(name)) {
        throw std::invalid_argument("no Cryptoki function " + name);
    }
    return name;
}

void failCall(const std::string& function, CK_RV result, unsigned callNumber, FaultPlan::Timing timing,
              SessionFate fate) {
    if (callNumber == 0) {
        throw std::invalid_argument("calls are counted from 1");
    }
    TokenLibrary::access([&](LibraryState& state) {
        state.faults.failOnCall(functionName(function), result, callNumber, timing, fate == SessionFate::lost);
    });
}

ObjectInfo describe(CK_OBJECT_HANDLE handle, const TokenObject& object) {
    return {handle, object.attributes(), object.owner()};
}

}  // namespace

void Control::reset() {
    TokenLibrary::access([](LibraryState& state) { state = LibraryState{}; });
}

void Control::setInfo(const LibraryInfo& info) {
    TokenLibrary::access([&](LibraryState& state) { state.info = info; });
}

void Control::addSlot(const SlotSettings& slot) {
    TokenLibrary::access([&](LibraryState& state) {
        if (!state.slots.try_emplace(slot.id, slot).second) {
            throw std::invalid_argument("slot " + std::to_string(slot.id) + " exists already");
        }
    });
}

void Control::setTokenPresent(CK_SLOT_ID slot, bool present) {
    TokenLibrary::access([&](LibraryState& state) {
        Slot& found = existingSlot(state, slot);
        if (!present) {
            state.closeAllSessions(slot);
        }
        found.setTokenPresent(present);
    });
}

void Control::setMechanisms(CK_SLOT_ID slot, const MechanismTable& mechanisms) {
    TokenLibrary::access([&](LibraryState& state) { existingSlot(state, slot).token().setMechanisms(mechanisms); });
}

TokenSettings Control::token(CK_SLOT_ID slot) {
    return TokenLibrary::access([&](LibraryState& state) { return existingSlot(state, slot).token().settings(); });
}

std::size_t Control::sessionCount(CK_SLOT_ID slot) {
    return TokenLibrary::access([&](LibraryState& state) {
        existingSlot(state, slot);
        return state.sessions.counts(slot).all;
    });
}

std::optional<CK_USER_TYPE> Control::loggedInUser(CK_SLOT_ID slot) {
    return TokenLibrary::access([&](LibraryState& state) { return existingSlot(state, slot).token().user(); });
}

bool Control::isInitialized() {
    return TokenLibrary::access([](LibraryState& state) { return state.initialised; });
}

void Control::scriptInitialize(const std::vector<CK_RV>& answers) {
    TokenLibrary::access([&](LibraryState& state) {
        state.initializeAnswers.insert(state.initializeAnswers.end(), answers.begin(), answers.end());
    });
}

void Control::removeFunction(const std::string& name) {
    TokenLibrary::access([&](LibraryState& state) { state.removedFunctions.insert(functionName(name)); });
}

void Control::failOnCall(const std::string& function, CK_RV result, unsigned callNumber, SessionFate fate) {
    failCall(function, result, callNumber, FaultPlan::Timing::instead, fate);
}

void Control::failAlways(const std::string& function, CK_RV result) {
    TokenLibrary::access([&](LibraryState& state) { state.faults.failAlways(functionName(function), result); });
}

void Control::failAfterWork(const std::string& function, CK_RV result, unsigned callNumber, SessionFate fate) {
    failCall(function, result, callNumber, FaultPlan::Timing::afterWork, fate);
}

std::vector<ObjectInfo> Control::objects(CK_SLOT_ID slot) {
    return TokenLibrary::access([&](LibraryState& state) {
        std::vector<ObjectInfo> objects;
        for (const auto& [handle, object] : existingSlot(state, slot).token().objects().objects()) {
            objects.push_back(describe(handle, object));
        }
        return objects;
    });
}

ObjectInfo Control::object(CK_SLOT_ID slot, CK_OBJECT_HANDLE handle) {
    return TokenLibrary::access([&](LibraryState& state) {
        const TokenObject* const object = existingSlot(state, slot).token().objects().find(handle);
        if (object == nullptr) {
            throw std::invalid_argument("no object " + std::to_string(handle));
        }
        return describe(handle, *object);
    });
}

CK_OBJECT_HANDLE Control::addObject(CK_SLOT_ID slot, const Attributes& attributes, CK_SESSION_HANDLE session) {
    if (!attributes.contains(CKA_CLASS)) {
        throw std::invalid_argument("an object needs CKA_CLASS");
    }
    return TokenLibrary::access([&](LibraryState& state) {
        ObjectStore& store = existingSlot(state, slot).token().objects();
        TokenObject object(attributes, true, session);
        if (object.owner() && !state.sessions.isOpen(session, slot)) {
            throw std::invalid_argument("a session object needs an open session of slot " + std::to_string(slot));
        }
        return store.add(std::move(object));
    });
}

std::vector<CallRecord> Control::calls() {
    return TokenLibrary::access([](LibraryState& state) { return state.calls; });
}

std::vector<CallRecord> Control::callsOf(const std::string& function) {
    functionName(function);
    std::vector<CallRecord> found;
    std::ranges::copy_if(calls(), std::back_inserter(found),
                         [&](const CallRecord& call) { return call.function == function; });
    return found;
}

std::size_t Control::callCount(const std::string& function) { return callsOf(function).size(); }

void Control::clearCalls() {
    TokenLibrary::access([](LibraryState& state) { state.calls.clear(); });
}

}  // namespace testtoken
