#pragma once
// What one answer of the status server says, read defensively: the body comes
// from the network and may hold any JSON at all.
#include <string>

struct StateAnswer {
    bool parsed = false;       // the body is JSON
    std::string compactJson;   // the root in the compact writer's one-line form, line feed included
    bool usable = false;       // "status" reads 0 and every member has the type the server documents
    std::string stateName;     // "data"."state"; empty when absent
    std::string releaseVersion;  // "data"."releaseVersion"; empty when absent
};

// An answer whose root is not an object, whose "status" is not a number, bool
// or null, whose "data" is neither object nor null, or whose "state" or
// "releaseVersion" is neither string nor null, is parsed but not usable.
StateAnswer ReadStateAnswer(const std::string& body);
