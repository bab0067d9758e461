// Keeps every layer library non-empty while its units are being written.
namespace lignado {
void lignadoLayerAnchor() {}
}  // namespace lignado
