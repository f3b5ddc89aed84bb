#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace qm::test {

/// Makes the store file at `storeFile` refuse `operations` ("INSERT",
/// "UPDATE") on `table` with `message`, as a full or failing disk would: a
/// trigger added through a connection of its own, so the code under test sees
/// a real failed save. `when`, an SQL condition on NEW, limits it to some rows.
::testing::AssertionResult refuseWrites(const std::filesystem::path& storeFile,
                                        const std::string& table, const std::string& message,
                                        const std::vector<std::string>& operations = {"INSERT"},
                                        const std::string& when = {});

}  // namespace qm::test
