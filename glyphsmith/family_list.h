// The lines of `glyphsmith --list`, the same on every platform.
#pragma once

#include <map>
#include <set>
#include <string>

// Each family's strike sizes in pixels; none for a family with an outline.
using FamilySizes = std::map<std::string, std::set<int>>;

// Whether name holds pattern, ASCII case aside; "" is held by every name.
bool family_matches(const std::string& name, const std::string& pattern);

// One family a line; "" with *text unchanged and a message when none.
std::string family_lines(const FamilySizes& families, const std::string& pattern,
                         std::string* text);
