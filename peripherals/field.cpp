#include "peripherals/field.h"

#include <cmath>
#include <cstring>

#include "peripherals/pulse_source.h"
#include "peripherals/timer_isr.h"

int32_t RoomWidth = RoomDefaultMm, RoomHeight = RoomDefaultMm;
int32_t DetectorX = RoomDefaultMm / 2, DetectorY = RoomDefaultMm / 2;
FieldSource FieldSources[FieldMaxSources];
uint8_t FieldSourceCount = 0;
FieldWall FieldWalls[FieldMaxWalls];
uint8_t FieldWallCount = 0;
uint32_t RoomChanges = 0;

uint64_t HeldSourceMilli = 0;
std::mt19937 HeldGenerator{HeldSeedBase};
double HeldNext = 0;
std::mt19937 FieldGenerator{FieldSeedBase};
double FieldNext = -1;

namespace {

constexpr double TickSeconds = 0.1;

bool InRoom(int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && x <= RoomWidth && y <= RoomHeight;
}

bool NameAllowed(const char* name) {
    const size_t n = std::strlen(name);
    if (n == 0 || n > static_cast<size_t>(SourceNameMax)) return false;
    for (size_t i = 0; i < n; ++i) {
        const char c = name[i];
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

int FindSource(const char* name) {
    for (int i = 0; i < FieldSourceCount; ++i)
        if (std::strcmp(FieldSources[i].name, name) == 0) return i;
    return -1;
}

// Twice the signed area of the triangle a, b, c (in square millimetres, exact in 64 bits).
int64_t Cross(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t cx, int64_t cy) {
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

int Sign(int64_t v) {
    return (v > 0) - (v < 0);
}

// Whether the segment p-q crosses or touches the wall; a segment along the wall's line
// does not cross it.
bool Crosses(const FieldWall& w, int32_t px, int32_t py, int32_t qx, int32_t qy) {
    const int a = Sign(Cross(w.x1, w.y1, w.x2, w.y2, px, py));
    const int b = Sign(Cross(w.x1, w.y1, w.x2, w.y2, qx, qy));
    if (a == 0 && b == 0) return false;
    const int c = Sign(Cross(px, py, qx, qy, w.x1, w.y1));
    const int d = Sign(Cross(px, py, qx, qy, w.x2, w.y2));
    return a * b <= 0 && c * d <= 0;
}

double HeldInterval() {
    const double u = (static_cast<double>(HeldGenerator()) + 1.0) / 4294967296.0;  // (0, 1]
    return -std::log(u) * 1000.0 / static_cast<double>(HeldSourceMilli);
}

double UnitInterval() {
    const double u = (static_cast<double>(FieldGenerator()) + 1.0) / 4294967296.0;  // (0, 1]
    return -std::log(u);
}

uint32_t HeldPulses() {
    if (HeldSourceMilli == 0) return 0;
    uint32_t pulses = 0;
    while (HeldNext < TickSeconds) {
        ++pulses;
        HeldNext += HeldInterval();
    }
    HeldNext -= TickSeconds;
    return pulses;
}

uint32_t PlacedPulses() {
    double expected = 0;
    for (int i = 0; i < FieldSourceCount; ++i) expected += SourceRateAtDetector(FieldSources[i]);
    expected *= TickSeconds;
    if (expected <= 0) return 0;
    if (FieldNext < 0) FieldNext = UnitInterval();
    uint32_t pulses = 0;
    while (FieldNext <= expected) {
        expected -= FieldNext;
        FieldNext = UnitInterval();
        // Beyond the tick's byte the count no longer matters: the rest of the tick is
        // skipped, and the process starts afresh from its end (it has no memory).
        if (++pulses > TickPulseMax) return pulses;
    }
    FieldNext -= expected;
    return pulses;
}

}  // namespace

bool SetRoom(int32_t width, int32_t height) {
    if (width < RoomMinMm || width > RoomMaxMm || height < RoomMinMm || height > RoomMaxMm)
        return false;
    RoomWidth = width;
    RoomHeight = height;
    DetectorX = width / 2;
    DetectorY = height / 2;
    FieldSourceCount = 0;
    FieldWallCount = 0;
    ++RoomChanges;
    return true;
}

bool PlaceSource(const char* name, uint8_t kind, uint32_t strength, int32_t x, int32_t y,
                 bool hidden) {
    if (!NameAllowed(name) || kind > KindAlpha || strength > SourceMaxMilli || !InRoom(x, y))
        return false;
    int i = FindSource(name);
    if (i < 0) {
        if (FieldSourceCount == FieldMaxSources) return false;
        i = FieldSourceCount++;
        std::strcpy(FieldSources[i].name, name);
    }
    FieldSource& s = FieldSources[i];
    s.kind = kind;
    s.hidden = hidden ? 1 : 0;
    s.strength = strength;
    s.x = x;
    s.y = y;
    ++RoomChanges;
    return true;
}

bool RemoveSource(const char* name) {
    const int i = FindSource(name);
    if (i < 0) return false;
    for (int k = i + 1; k < FieldSourceCount; ++k) FieldSources[k - 1] = FieldSources[k];
    --FieldSourceCount;
    ++RoomChanges;
    return true;
}

bool MoveDetector(int32_t x, int32_t y) {
    if (!InRoom(x, y)) return false;
    DetectorX = x;
    DetectorY = y;
    ++RoomChanges;
    return true;
}

bool AddWall(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t transmission) {
    if (!InRoom(x1, y1) || !InRoom(x2, y2) || (x1 == x2 && y1 == y2) ||
        transmission > TransmissionFull || FieldWallCount == FieldMaxWalls)
        return false;
    FieldWalls[FieldWallCount++] = FieldWall{x1, y1, x2, y2, transmission};
    ++RoomChanges;
    return true;
}

void HoldSource(uint64_t milli) {
    HeldSourceMilli = milli;
    if (milli != 0) HeldNext = HeldInterval();
}

double SourceRateAtDetector(const FieldSource& s) {
    const double dx = (s.x - DetectorX) / 1000.0, dy = (s.y - DetectorY) / 1000.0;
    const double d = std::sqrt(dx * dx + dy * dy);
    if ((s.kind == KindBeta && d > BetaReachM) || (s.kind == KindAlpha && d > AlphaReachM))
        return 0;
    const double floor = d < DetectorSizeM ? DetectorSizeM : d;
    double rate = s.strength / 1000.0 / (floor * floor);
    for (int i = 0; i < FieldWallCount; ++i) {
        if (!Crosses(FieldWalls[i], s.x, s.y, DetectorX, DetectorY)) continue;
        if (s.kind != KindGamma) return 0;
        rate *= FieldWalls[i].transmission / static_cast<double>(TransmissionFull);
    }
    return rate;
}

double FieldRate() {
    double rate = HeldSourceMilli / 1000.0;
    for (int i = 0; i < FieldSourceCount; ++i) rate += SourceRateAtDetector(FieldSources[i]);
    return rate;
}

uint32_t DrawFieldPulses() {
    const uint32_t held = HeldPulses();
    return held + PlacedPulses();
}

void AddFieldPulses(uint32_t pulses) {
    if (pulses == 0) return;
    const uint32_t room = TickPulseMax - TickPulses.load(std::memory_order_relaxed);
    const uint32_t taken = pulses < room ? pulses : room;
    TickPulses.store(static_cast<uint8_t>(TickPulses.load(std::memory_order_relaxed) + taken),
                     std::memory_order_relaxed);
    PulsesLastTick += taken;
}

void SeedField(uint32_t seed) {
    HeldGenerator.seed(HeldSeedBase ^ seed);
    FieldGenerator.seed(FieldSeedBase ^ seed);
    FieldNext = -1;
}

void ResetField() {
    RoomWidth = RoomHeight = RoomDefaultMm;
    DetectorX = DetectorY = RoomDefaultMm / 2;
    FieldSourceCount = 0;
    FieldWallCount = 0;
    RoomChanges = 0;
    HeldSourceMilli = 0;
    HeldNext = 0;
    SeedField(0);
}
