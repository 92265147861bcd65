// The real plug-in's test bundle has no sources of its own: its entry points come from
// tonvera_host_vst3. A module needs at least one source file.
namespace
{
[[maybe_unused]] constexpr int kAnchor = 0;
}
