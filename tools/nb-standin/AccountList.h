#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace nbstandin {

struct Account {
    std::vector<std::string> names;      // lower-case code page 936 forms the launcher may send
    std::vector<std::string> passwords;  // byte forms the launcher may have digested
    bool locked = false;
    int userId = 0;
    std::string addiction = "0";
};

// The accounts file: one account a line, "name password [flag...]". Names and passwords may
// be written in UTF-8 or in code page 936; the launcher sends and digests 936 bytes, so a
// UTF-8 entry is matched through its 936 form.
class AccountList {
public:
    // False when the file cannot be read; a missing path gives an empty list.
    bool Load(const std::string& path, std::string& error);

    // By the name as sent (936 bytes), compared without ASCII case.
    const Account* Find(std::string_view name) const;
    static bool PasswordMatches(const Account& account, std::string_view digest);

    size_t Size() const { return m_accounts.size(); }

private:
    std::vector<Account> m_accounts;
};

}  // namespace nbstandin
