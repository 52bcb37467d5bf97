#include "Binaural.h"

namespace render
{

bool loadHeadResponses(const std::string& sofaPath, int sampleRate, HeadResponses& responses,
                       std::string& error)
{
    return kalvo::loadHrirGrid(sofaPath, sampleRate, responses, error);
}

BinauralConvolver::BinauralConvolver(const HeadResponses& responses, const HeadOrientation& head)
{
    renderer_.setOrientation(head);
    renderer_.setResponses(responses); // resets: the head starts where it is asked to be
}

template <typename Sample>
void BinauralConvolver::process(const Sample* const decoded[6], int frames, std::vector<float>& left,
                                std::vector<float>& right)
{
    const size_t at = left.size();
    left.resize(at + static_cast<size_t>(frames));
    right.resize(at + static_cast<size_t>(frames));
    renderer_.process(decoded, left.data() + at, right.data() + at, frames);
}

template void BinauralConvolver::process<float>(const float* const[6], int, std::vector<float>&,
                                                std::vector<float>&);
template void BinauralConvolver::process<double>(const double* const[6], int, std::vector<float>&,
                                                 std::vector<float>&);

} // namespace render
