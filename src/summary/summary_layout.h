// The summary file's layout: what its writer writes, and how many lines the tables behind two of
// its blocks give.
#pragma once

#include <cstddef>
#include <string_view>

namespace scantelk {

// Every number takes 15 characters and one separator space.
constexpr std::size_t kFieldWidth = 16;

// Every line ends so, on every platform.
constexpr std::string_view kLineEnd = "\r\n";

// The average-F block's lines: the table's columns.
constexpr int kAverageFColumns = 3;

// The index specification's value lines: the values of each survey index, its use flag last.
constexpr int kIndexSpecValues = 7;

// The heading lines of the sixteen blocks, without their line end, in the order written.
namespace heading {
constexpr std::string_view kNaturalMortality = "Natural Mortality";
constexpr std::string_view kMaturity = "Maturity";
constexpr std::string_view kCatchWeightAtAge = "Catch Weight at Age";
constexpr std::string_view kSpawningStockWeightAtAge = "Spawning Stock Weight at Age";
constexpr std::string_view kJan1WeightAtAge = "Jan-1 Weight at Age";
constexpr std::string_view kCatchWeightByFleet = "Catch Weight by Fleet";
constexpr std::string_view kDiscardWeightByFleet = "Discard Weight by Fleet";
constexpr std::string_view kCatchSampleSizes = "Catch - Input & Effective Sample Size";
constexpr std::string_view kDiscardSampleSizes = "Discard - Input & Effective Sample Size";
constexpr std::string_view kIndexSpecification = "Index Specification";
constexpr std::string_view kIndexFits = "Index Observed, Predicted, Standardized Residual";
constexpr std::string_view kIndexSampleSizes = "Index Input & Effective Sample Size";
constexpr std::string_view kAverageF = "Average F";
constexpr std::string_view kStockNumbers = "Stock Numbers";
constexpr std::string_view kSpawningStockBiomass = "Spawning Stock Biomass";
constexpr std::string_view kRecruitment = "Observed & Predicted Recruitment";
}  // namespace heading

}  // namespace scantelk
