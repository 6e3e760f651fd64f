// The program's texts as the tests expect them, and the checks built on them.
#include "expectations.h"

#include <gtest/gtest.h>

#include <string>

#include "adapter_registry.h"

const wchar_t kSuccessText[] = L"Операция успешно выполнена";
const wchar_t kAdministratorText[] =
    L"Попробуйте запустить программу из-под учетной записи, обладающей правами администратора";
const wchar_t kRestartQuestion[] =
    L"Для вступления изменений в силу необходима перезагрузка.\nПерезагрузить компьютер сейчас?";

bool IsSystemErrorBox(const SeenBox& box, DWORD code) {
    const std::wstring prefix = L"Error " + std::to_wstring(code) + L": ";
    return box.text.compare(0, prefix.size(), prefix) == 0 && box.text.size() > prefix.size() &&
           box.caption == L"Ошибка" && box.owner == nullptr;
}

void ExpectStoredCounts(int number, DWORD wanEndpoints, DWORD maxWanEndpoints) {
    const StoredValue wan = ReadStored(number, L"WanEndpoints");
    const StoredValue max = ReadStored(number, L"MaxWanEndpoints");
    EXPECT_TRUE(wan.present && max.present) << "instance " << number;
    EXPECT_EQ(wan.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(max.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(wan.value, wanEndpoints);
    EXPECT_EQ(max.value, maxWanEndpoints);
}
