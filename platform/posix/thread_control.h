// Control of the stand-in threads for tests.
#pragma once

// While `refused` is true, CreateThread creates nothing and returns null.
void SetThreadCreationRefused(bool refused);
