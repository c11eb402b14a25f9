// Reading a definition-sized XML document into a tree and walking it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "UtilsSrc/cmyxmlparser.h"

using Vastrel::Utils::CMyXMLNode;
using Vastrel::Utils::CMyXMLParser;

namespace {

// About 1 MB: particle systems with emitters, parameter keys and matrices.
std::string DefinitionDocument() {
    std::string text = "<?xml version=\"1.0\"?>\n<ParticleSystems>\n";
    for (int system = 0; text.size() < 1024 * 1024; ++system) {
        const std::string id = std::to_string(system);
        text += "  <ParticleSystem name=\"fire" + id + "\" type=\"BILLBOARD\" maxParticle=\"500\" emitPerSec=\"60.00000\""
                " particlePerEmit=\"2\" emitter=\"box" + id + "\" params=\"params" + id + "\">\n"
                "    <Matrix>\n      <Right>1.00000 0.00000 0.00000 0.00000</Right>\n"
                "      <Up>0.00000 1.00000 0.00000 0.00000</Up>\n      <At>0.00000 0.00000 1.00000 0.00000</At>\n"
                "      <Pos>" + id + ".50000 2.00000 -3.25000 1.00000</Pos>\n    </Matrix>\n"
                "    <Blend enable=\"TRUE\" src=\"SRCALPHA\" dest=\"ONE\"/>\n";
        for (int key = 0; key < 8; ++key) {
            text += "    <Key time=\"0." + std::to_string(key) + "0000\" color=\"255 128 " + std::to_string(key * 30) +
                    " 200\" size=\"1.50000 1.50000\">0.25000 0.50000 0.75000</Key>\n";
        }
        text += "  </ParticleSystem>\n";
    }
    return text + "</ParticleSystems>\n";
}

class DocumentFile {
public:
    DocumentFile() : m_path(std::filesystem::temp_directory_path() / ("bench_utils_" + std::to_string(::getpid()) + ".xml")) {
        std::ofstream(m_path, std::ios::binary) << DefinitionDocument();
    }
    ~DocumentFile() { std::filesystem::remove(m_path); }
    std::string Path() const { return m_path.string(); }
    std::uintmax_t Size() const { return std::filesystem::file_size(m_path); }

private:
    std::filesystem::path m_path;
};

// Reads every attribute and content as the element readers do.
float Walk(const CMyXMLNode& node) {
    float sum = 0.0f;
    D3DXVECTOR4 value;
    for (const auto& attribute : node.GetAttributes()) {
        node.GetVector4DAttribute(attribute.first, value);
        sum += value.x;
    }
    node.GetVector4DContent(value);
    sum += value.w;
    for (const CMyXMLNode* child : node.GetChildrens()) sum += Walk(*child);
    return sum;
}

void BM_ReadAndWalkDefinition1MB(benchmark::State& state) {
    const DocumentFile file;
    for (auto _ : state) {
        CMyXMLParser parser(file.Path().c_str());
        Vastrel::Utils::IXMLParser* implementation = parser.Create();
        parser.Read(nullptr);
        benchmark::DoNotOptimize(Walk(*implementation->GetRoot()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.Size()));
}
BENCHMARK(BM_ReadAndWalkDefinition1MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
